// Renders the real window's three screens offscreen, saves them as PNG files in the build
// folder and checks pixels that only come out right when the theme is applied.
#include <QDir>
#include <QQuickItem>
#include <QtQuickTest/quicktest.h>
#include <QQuickWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"

using namespace Qt::StringLiterals;

using ViewState = ScraperViewModel::ViewState;

namespace {
const QColor lime(0xDE, 0xF7, 0x1C);
const QColor background(0xF5, 0xF6, 0xF8);
const QColor navy(0x1B, 0x2A, 0x4A);
const QColor secondaryText(0x6B, 0x7B, 0x99);

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
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
    QQuickItem *item(const QString &name) const { return m_window->findChild<QQuickItem *>(name); }

    QColor pixel(QPointF scenePoint) const
    {
        const qreal ratio = m_image.devicePixelRatio();
        return m_image.pixelColor(int(scenePoint.x() * ratio), int(scenePoint.y() * ratio));
    }

    QColor grabbedPixel(QPointF scenePoint)
    {
        m_image = m_window->grabWindow();
        return pixel(scenePoint);
    }

    // Whether some pixel of the item's area has the colour; solid glyph stems do.
    bool areaContains(const QString &name, QColor colour) const
    {
        QQuickItem *target = item(name);
        if (!target)
            return false;
        const QRectF area = target->mapRectToScene(QRectF(0, 0, target->width(), target->height()));
        for (qreal y = area.top(); y < area.bottom(); y += 0.5)
            for (qreal x = area.left(); x < area.right(); x += 0.5)
                if (near(pixel({ x, y }), colour, 3))
                    return true;
        return false;
    }

    VelmoriaApp &m_app;
    ScraperViewModel *m_viewModel = nullptr;
    QQuickWindow *m_window = nullptr;
    QImage m_image;

private Q_SLOTS:
    void initTestCase()
    {
        m_viewModel = new ScraperViewModel(QUrl(u"http://127.0.0.1:9/login"_s));
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        // Dragging the edge cannot change the width.
        QCOMPARE(QSize(m_window->minimumWidth(), m_window->maximumWidth()), QSize(950, 950));
    }

    void screens_data()
    {
        QTest::addColumn<ViewState>("state");
        QTest::addColumn<QString>("screenName");
        QTest::addColumn<QStringList>("limeItems");
        QTest::addColumn<bool>("longTexts");
        QTest::newRow("login") << ViewState::login << u"loginView"_s << QStringList { u"startButton"_s }
                               << false;
        QTest::newRow("progress") << ViewState::progress << u"progressView"_s
                                  << QStringList { u"stopButton"_s, u"progressFill"_s } << false;
        QTest::newRow("results") << ViewState::results << u"resultsView"_s
                                 << QStringList { u"openFileButton"_s, u"newSearchButton"_s } << false;
        QTest::newRow("login-long") << ViewState::login << u"loginView"_s << QStringList { u"startButton"_s }
                                    << true;
        QTest::newRow("progress-long") << ViewState::progress << u"progressView"_s
                                       << QStringList { u"backButton"_s, u"progressFill"_s } << true;
        QTest::newRow("results-long") << ViewState::results << u"resultsView"_s
                                      << QStringList { u"openFileButton"_s, u"newSearchButton"_s } << true;
    }

    // The view state's screen over the window's one controller fills the 950 px window on the theme's
    // background, with the header's colours and lime primary buttons (and bar); 300-character
    // messages and folder paths leave every control inside the window.
    void screens()
    {
        QFETCH(ViewState, state);
        QFETCH(QString, screenName);
        QFETCH(QStringList, limeItems);
        QFETCH(bool, longTexts);

        const QString longMessage = u"Nie znaleziono elementu na stronie portalu. "_s.repeated(7).left(300);
        ScrapeProgress *progress = m_viewModel->progress();
        if (longTexts) {
            m_viewModel->setLoginError(longMessage);
            m_viewModel->setOutputDirectory(
                QUrl::fromLocalFile(u"/tmp/"_s + u"bardzo-dluga-nazwa-folderu/"_s.repeated(12).left(295)));
            progress->setStatusText(longMessage);
        }
        if (state == ViewState::progress && longTexts) {
            progress->setPhase(ScrapePhase::error);
            progress->setErrorMessage(longMessage);
        } else if (state == ViewState::progress) {
            progress->setPhase(ScrapePhase::scraping);
            progress->setStatusText(u"Pobieranie strony 2..."_s);
            progress->setProgressValue(0.5);
            progress->setRecordCount(42);
            progress->setPageInfo(u"2 / 4"_s);
            progress->setElapsedSeconds(75);
        } else if (state == ViewState::results && !longTexts) {
            const CourtCase sample({ u"I C 1/26"_s, u"Sąd Rejonowy dla Wrocławia-Krzyków"_s, u"I Wydział Cywilny"_s,
                u"o zapłatę"_s, u"Jan Kowalski przeciwko Annie Nowak"_s, u"SSR Maria Wiśniewska"_s, u"2026-01-12"_s,
                QString(), u"W toku"_s });
            m_viewModel->setCases(QList<CourtCase>(30, sample));
            progress->setPhase(ScrapePhase::done);
            progress->setStatusText(u"Gotowe! Pobrano 30 spraw."_s);
            progress->setOutputFile(QUrl::fromLocalFile(u"/tmp/wroclawska_sprawy.xlsx"_s));
        }
        m_viewModel->setViewState(state);
        auto *loader = item(u"screenLoader"_s);
        QTRY_COMPARE(loader->property("item").value<QObject *>()->objectName(), screenName);
        auto *screen = qobject_cast<QQuickItem *>(loader->property("item").value<QObject *>());
        QCOMPARE(screen->property("viewModel").value<QObject *>(), m_viewModel);
        // The window's height follows the screen shown, once wrapped texts have been laid out.
        QTRY_VERIFY(!QQuickTest::qIsPolishScheduled(m_window)
            && m_window->height() == qRound(screen->implicitHeight()));

        m_image = m_window->grabWindow();
        if (auto *table = screen->findChild<QQuickItem *>(u"casesTable"_s)) {
            // The table's rounded corner shows what it stands on, not its header row; the corners
            // are painted a frame later.
            const QPointF corner = table->mapToScene(QPointF(1, 1));
            QTRY_VERIFY2(near(grabbedPixel(corner), background, 2), qPrintable(pixel(corner).name()));
        }
        QVERIFY(QDir(QStringLiteral(VELMORIA_SCREENSHOT_DIR)).mkpath(u"screenshots"_s));
        QVERIFY(m_image.save(QStringLiteral(VELMORIA_SCREENSHOT_DIR "/screenshots/%1.png")
                                 .arg(QString::fromLatin1(QTest::currentDataTag()))));

        QCOMPARE(qRound(m_image.width() / m_image.devicePixelRatio()), 950);
        for (QQuickItem *control : screen->findChildren<QQuickItem *>()) {
            if (!control->inherits("QQuickControl") || !control->isVisible())
                continue;
            const QRectF area = control->mapRectToScene(QRectF(0, 0, control->width(), control->height()));
            QVERIFY2(area.left() >= 0 && area.right() <= 950,
                qPrintable(control->objectName() + u' ' + QString::number(area.right())));
        }
        QVERIFY2(near(pixel({ 3, 3 }), background, 0), qPrintable(pixel({ 3, 3 }).name()));
        QVERIFY(areaContains(u"headerTitle"_s, navy));
        QVERIFY(areaContains(u"headerSubtitle"_s, secondaryText));
        for (const QString &name : limeItems) {
            QQuickItem *lit = item(name);
            QVERIFY2(lit, qPrintable(name));
            const QColor colour = pixel(lit->mapToScene(QPointF(6, lit->height() / 2)));
            QVERIFY2(near(colour, lime, 1), qPrintable(name + u' ' + colour.name()));
        }
    }

    // Closing the window ends the application although the portal's hidden window stays open.
    void closingTheWindowQuits()
    {
        QTimer::singleShot(0, m_window, [this] { m_window->close(); });
        bool timedOut = false;
        QTimer::singleShot(10000, qApp, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        QCOMPARE(m_app.exec(), 0);
        QVERIFY(!timedOut);
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
