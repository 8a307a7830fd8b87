// The application on a plain X server, with neither window manager nor compositor: the portal's
// window never covers the main window, and closing the application mid-run tears the page down
// before its profile.
#include <QProcess>
#include <QQuickWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/cancellation.h"
#include "portal/webviewscraper.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
// Messages of the application's teardown, which happens after the test functions have run.
QStringList s_teardownMessages;

void collectTeardownMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_teardownMessages.append(message);
}
} // namespace

class WindowStackingTest : public QObject
{
    Q_OBJECT

public:
    explicit WindowStackingTest(VelmoriaApp &app)
        : m_app(app)
    {
    }

    [[nodiscard]] QQuickWindow *window() const { return m_window; }

private:
    // The root's children, topmost first, as the X server stacks them.
    static QList<WId> stackingTopFirst()
    {
        QProcess xwininfo;
        xwininfo.start(u"xwininfo"_s, { u"-root"_s, u"-children"_s });
        if (!xwininfo.waitForFinished(10000))
            return {};
        QList<WId> windows;
        const QList<QByteArray> lines = xwininfo.readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            const QByteArray id = line.trimmed().split(' ').value(0);
            if (id.startsWith("0x"))
                windows.append(id.toULongLong(nullptr, 16));
        }
        return windows;
    }

    bool mainWindowIsAbovePortal() const
    {
        const QList<WId> stacking = stackingTopFirst();
        const qsizetype main = stacking.indexOf(m_window->winId());
        const qsizetype portal = stacking.indexOf(m_viewModel->scraper()->offscreenWindow()->winId());
        return main >= 0 && portal >= 0 && main < portal;
    }

    VelmoriaApp &m_app;
    std::unique_ptr<FakePortal> m_portal;
    QTemporaryDir m_folder;
    ScraperViewModel *m_viewModel = nullptr;
    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void stackingAndCloseMidRun()
    {
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
        QVERIFY(m_folder.isValid());
        setPauseScaleForTesting(0.2);
        // A first launch: no stored login, so nothing waits on the secret store while the windows come up.
        QSettings().clear();
        m_viewModel = new ScraperViewModel(m_portal->url(u"/login"_s));
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QVERIFY(mainWindowIsAbovePortal());

        // A run that has loaded the portal's pages and logged in, and goes on.
        m_viewModel->chooseOutputDirectory(QUrl::fromLocalFile(m_folder.path()));
        m_viewModel->setLogin(u"anna"_s);
        m_viewModel->setPassword(u"tajne hasło"_s);
        m_viewModel->startScraping();
        QTRY_VERIFY_WITH_TIMEOUT(m_viewModel->progress()->phase() >= ScrapePhase::selectingApelacja, 60000);
        QVERIFY(mainWindowIsAbovePortal());
        // The application is closed from here, with the run under way.
        QVERIFY(m_viewModel->isRunning());
    }
};

int main(int argc, char *argv[])
{
    // A private X server; it writes its display number to the descriptor it is given.
    QProcess xvfb;
    xvfb.start(u"Xvfb"_s,
        { u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s, u"0"_s, u"1600x1000x24"_s });
    if (!xvfb.waitForReadyRead(30000)) {
        std::fprintf(stderr, "FAIL: Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", ":" + xvfb.readAllStandardOutput().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QStandardPaths::setTestModeEnabled(true);

    int result = 0;
    {
        VelmoriaApp app(argc, argv);
        WindowStackingTest test(app);
        result = QTest::qExec(&test, argc, argv);
        // The user closes the window with the run under way, which ends the application.
        qInstallMessageHandler(collectTeardownMessage);
        if (test.window()) {
            QTimer::singleShot(0, test.window(), &QWindow::close);
            app.exec();
        }
    }
    qInstallMessageHandler(nullptr);
    for (const QString &message : std::as_const(s_teardownMessages)) {
        if (message.contains(u"WebEnginePage still not deleted"_s)) {
            std::fprintf(stderr, "FAIL: closing mid-run: %s\n", qPrintable(message));
            result = 1;
        }
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return result;
}

#include "tst_windowstacking.moc"
