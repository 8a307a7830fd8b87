// Renders the real window's three screens offscreen, saves them as PNG files in the build
// folder and checks pixels that only come out right when the theme is applied.
#include <QDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"

using namespace Qt::StringLiterals;

namespace {
const QColor lime(0xDE, 0xF7, 0x1C);
const QColor background(0xF5, 0xF6, 0xF8);
const QColor navy(0x1B, 0x2A, 0x4A);
const QColor secondaryText(0x6B, 0x7B, 0x99);

bool near(QColor a, QColor b, int tolerance = 2)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// Whether some pixel of the item's area (in window pixels) has the colour; solid glyph stems do.
bool areaContains(const QImage &image, QQuickItem *item, QColor colour)
{
    const QRectF area = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    const qreal ratio = image.devicePixelRatio();
    for (int y = int(area.top() * ratio); y < int(area.bottom() * ratio); ++y)
        for (int x = int(area.left() * ratio); x < int(area.right() * ratio); ++x)
            if (near(image.pixelColor(x, y), colour, 3))
                return true;
    return false;
}
} // namespace

class ScreenshotTest : public QObject
{
    Q_OBJECT

public:
    explicit ScreenshotTest(VelmoriaApp &app)
        : m_app(app)
    {
    }

private:
    QQuickItem *item(const char *name) const
    {
        return m_window->findChild<QQuickItem *>(QString::fromLatin1(name));
    }
    QQuickItem *screen() const
    {
        auto *loader = item("screenLoader");
        return loader ? qobject_cast<QQuickItem *>(loader->property("item").value<QObject *>()) : nullptr;
    }

    QImage showAndGrab(ScraperViewModel::ViewState state, const QString &screenName, const QString &file)
    {
        m_viewModel->setViewState(state);
        if (!QTest::qWaitFor([&] { return screen() && screen()->objectName() == screenName; })) {
            qWarning() << "screen not shown:" << screenName << screen();
            return {};
        }
        // The window's height follows the screen shown.
        if (!QTest::qWaitFor([&] { return m_window->height() == qRound(screen()->implicitHeight()); }))
            qWarning() << "window height" << m_window->height() << "screen" << screen()->implicitHeight();
        QImage image = m_window->grabWindow();
        const QString path = QDir(QStringLiteral(VELMORIA_SCREENSHOT_DIR)).filePath(file);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!image.save(path))
            qWarning() << "could not save" << path;
        return image;
    }

    void checkFrame(const QImage &image)
    {
        QVERIFY(!image.isNull());
        QCOMPARE(qRound(image.width() / image.devicePixelRatio()), 950);
        // The window's corner shows the application background.
        QVERIFY2(near(image.pixelColor(3, 3), background, 0), qPrintable(image.pixelColor(3, 3).name()));
        QVERIFY(item("headerTitle") && item("headerSubtitle"));
        QVERIFY(areaContains(image, item("headerTitle"), navy));
        QVERIFY(areaContains(image, item("headerSubtitle"), secondaryText));
    }

    void checkPrimaryButton(const QImage &image, const char *name)
    {
        QQuickItem *button = item(name);
        QVERIFY2(button, name);
        const QPointF probe = button->mapToScene(QPointF(6, button->height() / 2));
        const qreal ratio = image.devicePixelRatio();
        const QColor colour = image.pixelColor(int(probe.x() * ratio), int(probe.y() * ratio));
        QVERIFY2(near(colour, lime, 1), qPrintable(colour.name()));
    }

    VelmoriaApp &m_app;
    ScraperViewModel *m_viewModel = nullptr;
    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        m_viewModel = new ScraperViewModel(QUrl(u"http://127.0.0.1:9/login"_s));
        m_viewModel->setOutputDirectory(QUrl::fromLocalFile(u"/home/ania/Dokumenty/Sprawy sądowe"_s));
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QCOMPARE(m_window->width(), 950);
        QCOMPARE(m_window->minimumWidth(), 950);
        QCOMPARE(m_window->maximumWidth(), 950);
    }

    void loginScreen()
    {
        m_viewModel->setLogin(u"jan.kowalski"_s);
        m_viewModel->setPassword(u"tajne"_s);
        const QImage image
            = showAndGrab(ScraperViewModel::ViewState::login, u"loginView"_s, u"screenshots/login.png"_s);
        checkFrame(image);
        checkPrimaryButton(image, "startButton");
    }

    void progressScreen()
    {
        ScrapeProgress *progress = m_viewModel->progress();
        progress->setPhase(ScrapePhase::scraping);
        progress->setStatusText(u"Pobieranie strony 2..."_s);
        progress->setProgressValue(0.5);
        progress->setRecordCount(42);
        progress->setPageInfo(u"2 / 4"_s);
        progress->setElapsedSeconds(75);
        const QImage image = showAndGrab(
            ScraperViewModel::ViewState::progress, u"progressView"_s, u"screenshots/progress.png"_s);
        checkFrame(image);
        checkPrimaryButton(image, "stopButton");
        // The bar's filled part is lime.
        QVERIFY(item("progressFill"));
        QVERIFY(areaContains(image, item("progressFill"), lime));
    }

    void resultsScreen()
    {
        QList<CourtCase> cases;
        for (int i = 0; i < 30; ++i)
            cases.append(CourtCase({ u"I C %1/26"_s.arg(i + 1), u"Sąd Rejonowy dla Wrocławia-Krzyków"_s,
                u"I Wydział Cywilny"_s, u"o zapłatę"_s, u"Jan Kowalski przeciwko Annie Nowak"_s,
                u"SSR Maria Wiśniewska"_s, u"2026-01-12"_s, QString(), u"W toku"_s }));
        m_viewModel->setCases(cases);
        ScrapeProgress *progress = m_viewModel->progress();
        progress->setPhase(ScrapePhase::done);
        progress->setStatusText(u"Gotowe! Pobrano 30 spraw."_s);
        progress->setOutputFile(QUrl::fromLocalFile(u"/tmp/wroclawska_sprawy.xlsx"_s));
        const QImage image = showAndGrab(
            ScraperViewModel::ViewState::results, u"resultsView"_s, u"screenshots/results.png"_s);
        checkFrame(image);
        checkPrimaryButton(image, "newSearchButton");
        checkPrimaryButton(image, "openFileButton");
    }
};

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    VelmoriaApp app(argc, argv);
    QSettings().clear();
    ScreenshotTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshots.moc"
