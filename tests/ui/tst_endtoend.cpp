// The application as a user drives it, on a private X server with neither window manager nor
// compositor: the real window over a controller pointed at the fake portal, typed into with key and
// mouse events, run to the results and back to the form, then closed during a second run. The
// portal's window never covers the main window, and the close tears the page down before its profile.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/cancellation.h"
#include "portal/webviewscraper.h"

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

class EndToEndTest : public QObject
{
    Q_OBJECT

public:
    explicit EndToEndTest(VelmoriaApp &app)
        : m_app(app)
    {
    }

    [[nodiscard]] QQuickWindow *window() const { return m_window; }

private:
    // Whether the X server stacks the main window above the portal's (xwininfo lists topmost first), and
    // the portal's is in its place, nearly transparent.
    bool mainWindowIsAbovePortal() const
    {
        QProcess xwininfo;
        xwininfo.start(u"xwininfo"_s, { u"-root"_s, u"-children"_s });
        xwininfo.waitForFinished(10000);
        QList<WId> stacking; // a window's line starts with its id; other lines give 0
        for (const QByteArray &line : xwininfo.readAllStandardOutput().split('\n'))
            stacking.append(line.trimmed().split(' ').value(0).toULongLong(nullptr, 16));
        const qsizetype main = stacking.indexOf(m_window->winId());
        const qsizetype portal = stacking.indexOf(m_viewModel->scraper()->offscreenWindow()->winId());
        const QWidget *portalWindow = m_viewModel->scraper()->offscreenWindow();
        return main >= 0 && portal >= 0 && main < portal && portalWindow->geometry() == QRect(0, 0, 1400, 900)
            && portalWindow->windowHandle()->opacity() > 0 && portalWindow->windowHandle()->opacity() < 0.02;
    }

    QQuickItem *item(const QString &name) const { return m_window->findChild<QQuickItem *>(name); }
    QString text(const QString &name, const char *property = "text") const
    {
        return item(name)->property(property).toString();
    }
    QString screenName() const
    {
        auto *screen = item(u"screenLoader"_s)->property("item").value<QObject *>();
        return screen ? screen->objectName() : QString();
    }
    void click(QQuickItem *target)
    {
        QTest::mouseClick(
            m_window, Qt::LeftButton, {}, target->mapToScene(target->boundingRect().center()).toPoint());
    }
    // Key events carrying the text, so letters beyond ASCII are typed as a keyboard would.
    void type(const QString &name, const QString &text)
    {
        click(item(name));
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    // The item holding the window's keys once the window has them (again), and whether it shows its ring.
    QString keyFocus() const
    {
        if (!QTest::qWaitFor([this] { return QGuiApplication::focusWindow() == m_window; }))
            return u"(another window)"_s;
        QQuickItem *focused = m_window->activeFocusItem();
        auto *ring = focused ? focused->findChild<QQuickItem *>(u"focusMark"_s) : nullptr;
        return (focused ? focused->objectName() : u"(none)"_s)
            + (ring && ring->isVisible() ? u" ring"_s : u""_s);
    }

    // Presses "Zmień", with the mouse or, while it has the keys, the space bar, and answers the modal
    // folder chooser: cancels, or accepts @p folder selected in its parent. Meanwhile a click on the
    // start button must not reach the form. Returns the chooser's start folder, whether it offers
    // folders only, and its cancel button's text.
    QStringList answerFolderChooser(const QString &folder, bool byKeyboard = false)
    {
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll.stop();
            const bool foldersOnly = dialog->fileMode() == QFileDialog::Directory
                && dialog->testOption(QFileDialog::ShowDirsOnly);
            seen = { dialog->directory().absolutePath(), foldersOnly ? u"folders"_s : u"files"_s,
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->text() };
            click(item(u"startButton"_s));
            if (folder.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(QFileInfo(folder).absolutePath());
                dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(QFileInfo(folder).fileName());
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        poll.start(10);
        if (byKeyboard)
            QTest::keyClick(m_window, Qt::Key_Space);
        else
            click(item(u"changeFolderButton"_s));
        return seen;
    }

    VelmoriaApp &m_app;
    FakePortal m_portal;
    QTemporaryDir m_folder;
    ScraperViewModel *m_viewModel = nullptr;
    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_portal.isRunning(), qPrintable(m_portal.errorString()));
        setPauseScaleForTesting(0.05);
        m_viewModel = new ScraperViewModel(m_portal.url(u"/login"_s));
        m_viewModel->setOutputDirectory(QUrl::fromLocalFile(QFileInfo(m_folder.path()).absolutePath()));
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QTRY_VERIFY(m_window->isActive());
        QVERIFY(mainWindowIsAbovePortal());
    }

    // A second press of the start button while the first one's password is being stored (the secret store
    // is slow to answer) starts no second run on the same page. The presses are real input events, from
    // outside the application, so that they come in through the event loop as a user's would.
    void secondPressWhileStoring()
    {
        QTRY_COMPARE(screenName(), u"loginView"_s);
        m_viewModel->setLogin(u"anna"_s);
        m_viewModel->setPassword(u"tajne hasło"_s);
        const uint store
            = QDBusConnection::sessionBus().interface()->servicePid(u"org.freedesktop.secrets"_s).value();
        QVERIFY(store > 0);
        QQuickItem *start = item(u"startButton"_s);
        const QPoint at = m_window->mapToGlobal(start->mapToScene(start->boundingRect().center()).toPoint());
        QSignalSpy runs(m_viewModel, &ScraperViewModel::progressChanged);
        QVERIFY(::kill(pid_t(store), SIGSTOP) == 0);
        const auto resume = qScopeGuard([store] { ::kill(pid_t(store), SIGCONT); });
        QProcess presses;
        presses.start(u"sh"_s, { u"-c"_s, u"xdotool mousemove --sync %1 %2 click 1 && sleep 1 && xdotool click 1 "
            "&& sleep 1 && kill -CONT %3"_s.arg(at.x()).arg(at.y()).arg(store) });
        QTRY_VERIFY_WITH_TIMEOUT(presses.state() == QProcess::NotRunning, 30000);
        QCOMPARE(presses.exitCode(), 0);
        QTRY_VERIFY(m_viewModel->isRunning() || m_viewModel->viewState() == ScraperViewModel::ViewState::results);
        QCOMPARE(runs.count(), 1);

        // The second press may have landed on "Zatrzymaj"; either way the run ends, and the form comes back empty.
        m_viewModel->stopScraping();
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isRunning(), 60000);
        m_viewModel->startNewSearch();
        m_viewModel->setLogin({});
        m_viewModel->setPassword({});
    }

    void wholeRun()
    {
        QTRY_COMPARE(screenName(), u"loginView"_s);
        // The folder chooser is modal, in Polish and opens at the current folder; cancel keeps it,
        // and the folder the user has selected is the one stored.
        const QUrl startFolder = m_viewModel->outputDirectory();
        QCOMPARE(
            answerFolderChooser({}), (QStringList { startFolder.toLocalFile(), u"folders"_s, u"Anuluj"_s }));
        QCOMPARE(m_viewModel->outputDirectory(), startFolder);
        QVERIFY(!m_viewModel->hasLoginError()); // the click on the start button did not get through
        // The keys go to the window again, to "Zmień", with its focus ring as it was when the chooser
        // opened: none after a click, shown after keys.
        QCOMPARE(keyFocus(), u"changeFolderButton"_s);
        QTest::keyClick(m_window, Qt::Key_Tab);
        QTest::keyClick(m_window, Qt::Key_Backtab);
        QCOMPARE(keyFocus(), u"changeFolderButton ring"_s);
        answerFolderChooser({}, true);
        QCOMPARE(keyFocus(), u"changeFolderButton ring"_s);
        answerFolderChooser(m_folder.path(), true);
        QCOMPARE(m_viewModel->outputDirectory(), QUrl::fromLocalFile(m_folder.path()));
        QCOMPARE(keyFocus(), u"changeFolderButton ring"_s);
        // Tab moves on from there.
        QTest::keyClick(m_window, Qt::Key_Tab);
        QCOMPARE(m_window->activeFocusItem(), item(u"startButton"_s));
        QCOMPARE(QSettings().value(u"outputDir"_s).toString(), m_folder.path());

        type(u"loginField"_s, u"anna"_s);
        type(u"passwordField"_s, u"tajne hasło"_s);
        type(u"podmiotField"_s, u"Kowalski"_s);
        QCOMPARE(
            (QStringList { m_viewModel->login(), m_viewModel->password(), m_viewModel->filters().podmiot }),
            (QStringList { u"anna"_s, u"tajne hasło"_s, u"Kowalski"_s }));
        click(item(u"startButton"_s));
        QCOMPARE(screenName(), u"progressView"_s);
        QTRY_VERIFY_WITH_TIMEOUT(m_viewModel->progress()->phase() >= ScrapePhase::selectingApelacja, 60000);
        QVERIFY(mainWindowIsAbovePortal());
        QTRY_COMPARE_WITH_TIMEOUT(screenName(), u"resultsView"_s, 180000);

        // The results screen shows what was collected, written to the chosen folder.
        QCOMPARE(text(u"statusLine"_s), u"Gotowe! Pobrano %1 spraw."_s.arg(m_viewModel->caseCount()));
        const QFileInfo file(m_viewModel->progress()->outputFile().toLocalFile());
        QVERIFY(file.size() > 0 && file.absolutePath() == m_folder.path());

        // Back to the form for a new search, with the entries kept.
        click(item(u"newSearchButton"_s));
        QCOMPARE(screenName(), u"loginView"_s);
        QCOMPARE(m_viewModel->caseCount(), 0);
        QCOMPARE((QStringList { text(u"loginField"_s), text(u"podmiotField"_s) }),
            (QStringList { u"anna"_s, u"Kowalski"_s }));

        // A second run, during which main() closes the application.
        click(item(u"startButton"_s));
        QTRY_VERIFY_WITH_TIMEOUT(m_viewModel->progress()->phase() >= ScrapePhase::loggingIn, 60000);
        QVERIFY(m_viewModel->isRunning());
    }
};

int main(int argc, char *argv[])
{
    // A private X server; it writes its display number to the descriptor it is given.
    QProcess xvfb;
    xvfb.start(u"Xvfb"_s,
        { u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s, u"0"_s, u"1600x1000x24"_s });
    if (!xvfb.waitForReadyRead(30000))
        qFatal("Xvfb did not start");
    qputenv("DISPLAY", ":" + xvfb.readAllStandardOutput().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QStandardPaths::setTestModeEnabled(true);

    // The application's teardown comes after the test functions: a page that outlives it is a failure.
    static QString pageOutlived;
    int result = 0;
    {
        VelmoriaApp app(argc, argv);
        // A first launch: no stored login, so nothing waits on the secret store while the windows come up.
        QSettings().clear();
        EndToEndTest test(app);
        result = QTest::qExec(&test, argc, argv);
        // The user closes the window with the second run under way, which ends the application.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            if (message.contains(u"WebEnginePage still not deleted"_s))
                pageOutlived = message;
        });
        if (test.window()) {
            QTimer::singleShot(0, test.window(), &QWindow::close);
            app.exec();
        }
    }
    qInstallMessageHandler(nullptr);
    if (!pageOutlived.isEmpty()) {
        std::fprintf(stderr, "FAIL: closing mid-run: %s\n", qPrintable(pageOutlived));
        result = 1;
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return result;
}

#include "tst_endtoend.moc"
