// The controller without a portal: its form across launches, refused starts, its release during a run,
// de-duplication, the page position, the file actions, and the password in a real Secret Service (see
// with-keyring.sh) or without any.
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"
#include "controller/settingsstore.h"
#include "export/xlsxwriter.h"
#include "portal/scrapererror.h"
#include "portal/webenginetestmain.h"
#include "portal/webviewscraper.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <new>

using namespace Qt::StringLiterals;

// Never loaded: no run starts against it.
const QUrl deadPortal(u"http://127.0.0.1:9/login"_s);

QStringList s_log; // what the controller logs
void captureLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "pl.velmoria.Velmoria.ViewModel") == 0)
        s_log.append(message);
}

/** Receives what the controller asks the desktop to open, and stands in for the file manager on the bus. */
class Desktop : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList asked;
public Q_SLOTS:
    void open(const QUrl &url) { asked << u"open "_s + url.toString(); }
    void ShowItems(const QStringList &uris, const QString &) { asked << u"show "_s + uris.join(u' '); }
};

// The secret of @p account as the Secret Service holds it, read by its own command-line client.
QByteArray storedSecret(const QString &account)
{
    QProcess lookup;
    lookup.start(u"secret-tool"_s,
        { u"lookup"_s, u"server"_s, u"pl.velmoria.Velmoria"_s, u"user"_s, account });
    return lookup.waitForFinished(10000) && lookup.exitCode() == 0 ? lookup.readAllStandardOutput() : "(none)";
}

QStringList loaded()
{
    const Credentials credentials = loadCredentials();
    return { credentials.login, credentials.password };
}

class ScraperViewModelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_scratch;

    static QStringList form(const ScraperViewModel &viewModel)
    {
        return { viewModel.login(), viewModel.password(), viewModel.selectedApelacja(), viewModel.filters().status,
            viewModel.filters().podmiot, viewModel.outputDirectory().toLocalFile(),
            viewModel.loginErrorText() };
    }

private Q_SLOTS:
    void initTestCase()
    {
        applyApplicationIdentity();
        qInstallMessageHandler(captureLog);
        QSettings().clear();
        for (const QString &account : { u"anna"_s, u"bartek"_s })
            deleteKeychainItem(account);
    }

    // A refused start says why and changes nothing, and a chosen folder clears only a refusal of the
    // folder; a valid start (spaces are a password) saves the form but the filters, resets the results
    // and ignores a second start; the next launch restores it. A controller released during a run keeps
    // its driver until the run has unwound, then frees it.
    void formAcrossTwoLaunches()
    {
        const QString folder = m_scratch.filePath(u"out"_s);
        QTcpServer silent; // a portal that takes the connection and never answers: the run stays in its login
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QUrl silentPortal(u"http://127.0.0.1:%1/login"_s.arg(silent.serverPort()));
        auto first = std::make_unique<ScraperViewModel>(silentPortal);
        qint64 now = 0;
        first->setMonotonicClockForTesting([&now] { return now; });
        const QString desktop = QDir::homePath() + u"/Desktop"_s;
        QCOMPARE(form(*first), (QStringList { {}, {}, u"Apelacja wrocławska"_s, u"Wszystkie"_s, {}, desktop, {} }));
        first->setSelectedApelacja(u"Apelacja gdańska"_s);
        first->setFilter(u"podmiot"_s, u"Kowalski"_s);
        first->mergePageRows({ CourtCase({ u"I C 1/25"_s, u"SR"_s }) });
        const auto refused = [&](const QString &message) {
            first->startScraping();
            QCOMPARE(first->loginErrorText(), message);
            QCOMPARE(first->caseCount(), 1);
            QCOMPARE(first->viewState(), ScraperViewModel::ViewState::login);
        };
        refused(u"Podaj login i hasło."_s);
        first->setLogin(u"anna"_s);
        refused(u"Podaj login i hasło."_s); // a login alone is not enough
        first->setPassword(u"   "_s);
        first->setOutputDirectory(QUrl::fromLocalFile(folder));
        refused(u"Wybrany folder nie istnieje: %1. Wybierz inny folder."_s.arg(folder));
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        refused(u"Wybrana ścieżka nie jest folderem: %1. Wybierz inny folder."_s.arg(folder));
        first->setOutputDirectory(QUrl::fromLocalFile(u"/proc"_s)); // nobody may write there, not even root
        refused(u"Nie można zapisywać w wybranym folderze: /proc. Wybierz inny folder."_s);
        QCOMPARE(QSettings().allKeys(), QStringList());

        QVERIFY(QFile::remove(folder) && QDir().mkpath(folder));
        first->chooseOutputDirectory(QUrl::fromLocalFile(folder));
        QCOMPARE(first->loginErrorText(), QString());
        first->setLogin({});
        refused(u"Podaj login i hasło."_s);
        first->chooseOutputDirectory(QUrl::fromLocalFile(folder));
        QCOMPARE(first->loginErrorText(), u"Podaj login i hasło."_s);
        first->setLogin(u"anna"_s);
        first->startScraping();
        ScrapeProgress *progress = first->progress();
        // A new record: the first status and nothing counted yet.
        QCOMPARE((QStringList { progress->statusText(), progress->pageInfo(), QString::number(progress->progressValue()),
                     QString::number(progress->recordCount()), QString::number(progress->elapsedSeconds()) }),
            (QStringList { u"Uruchamianie..."_s, u"\u2014"_s, u"0"_s, u"0"_s, u"0"_s }));
        QVERIFY(progress->phase() == ScrapePhase::launching && progress->startTime().isValid());
        QCOMPARE(first->caseCount(), 0);
        QCOMPARE(first->viewState(), ScraperViewModel::ViewState::progress);
        QVERIFY(!first->hasLoginError());
        // Under the keys that stored settings have.
        QCOMPARE(QSettings().value(u"apelacja"_s), u"Apelacja gdańska"_s);
        QCOMPARE(QSettings().value(u"login"_s), u"anna"_s);
        first->startScraping();
        QCOMPARE(first->progress(), progress);
        QSignalSpy asked(&silent, &QTcpServer::newConnection);
        QVERIFY(asked.wait(30000));
        QCOMPARE(progress->phase(), ScrapePhase::loggingIn);
        now = 61500; // the time shown follows within a second
        QTRY_COMPARE_WITH_TIMEOUT(progress->elapsedSeconds(), 61, 5000);
        const QPointer<WebViewScraper> driver = first->scraper();
        first.reset();
        QVERIFY(driver);
        QTRY_VERIFY_WITH_TIMEOUT(!driver, 30000);
        QCOMPARE(form(ScraperViewModel(deadPortal)),
            (QStringList { u"anna"_s, u"   "_s, u"Apelacja gdańska"_s, u"Wszystkie"_s, {}, folder, {} }));
        // A stored region comes back unchecked; a folder that has gone gives way to the desktop.
        QCOMPARE(QSettings().value(u"outputDir"_s), folder);
        QSettings().setValue(u"apelacja"_s, u"Apelacja marsjańska"_s);
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(form(ScraperViewModel(deadPortal)),
            (QStringList { u"anna"_s, u"   "_s, u"Apelacja marsjańska"_s, u"Wszystkie"_s, {}, desktop, {} }));
    }

    // One case per trimmed reference and court, canonically compared, letter case counting; the first
    // stays; a page with nothing new says so.
    void deduplication()
    {
        ScraperViewModel viewModel(deadPortal);
        const CourtCase first({ u"I C 1/25"_s, u"Sąd Rejonowy"_s, u"first"_s });
        const CourtCase equivalent(
            { u" I C 1/25\t"_s, u"Sąd Rejonowy"_s.normalized(QString::NormalizationForm_D) });
        const CourtCase otherCase({ u"I C 1/25"_s, u"SĄD REJONOWY"_s });
        QVERIFY(!viewModel.mergePageRows({ first, equivalent, otherCase }));
        QCOMPARE(viewModel.cases(), (QList { first, otherCase }));
        QVERIFY(viewModel.mergePageRows({ otherCase, equivalent }));
    }

    // Failures read in Polish, with the cause that the system or the engine gives after them.
    void errorDescriptions()
    {
        QStringList descriptions;
        try {
            writeXLSX({}, QUrl(u"https://example.org/a.xlsx"_s));
        } catch (const std::exception &error) {
            descriptions << ScraperViewModel::describeError(error);
        }
        descriptions << ScraperViewModel::describeError(std::bad_alloc())
                     << ScraperViewModel::describeError(ScraperError::loginFailed());
        QCOMPARE(descriptions, (QStringList { u"Nie udało się zapisać pliku XLSX. To nie jest plik lokalny: "
            "https://example.org/a.xlsx"_s, u"Nieoczekiwany błąd: std::bad_alloc"_s,
            u"Logowanie nie powiodło się. Sprawdź dane."_s }));
    }

    // The page text and progress value for each kind of paginator reading, a short last page's after the
    // page size of those before it.
    void pagePosition()
    {
        const auto shown = [](std::optional<qint64> current, std::optional<qint64> total, qint64 pageNumber) {
            const PagePosition position = ScraperViewModel::pagePosition(current, total, pageNumber);
            return position.pageInfo + u' ' + QString::number(position.progressValue);
        };
        QCOMPARE(shown(3, {}, 2) + u'|' + shown({}, {}, 31) + u'|' + shown({}, 12, 3) + u'|' + shown(0, 0, 1),
            u"3 0.34|31 0.9|3 / 12 0.45|0 / 0 0.32"_s);
        const auto corrected = [](qint64 first, qint64 last, qint64 count, qint64 pageSize) {
            const PaginationInfo reading = ScraperViewModel::withPageSize(
                { 1, 1, PaginatorRange { first, last, count } }, pageSize);
            return u"%1/%2"_s.arg(reading.current.value_or(-1)).arg(reading.total.value_or(-1));
        };
        // A range read backwards gives no page size to go by.
        QCOMPARE(corrected(151, 151, 151, 50) + u'|' + corrected(1701, 1730, 1730, 100) + u'|'
                + corrected(1, 1, 1, 1) + u'|' + corrected(101, 150, 150, 50) + u'|' + corrected(5, 3, 10, 0),
            u"4/4|18/18|1/1|1/1|1/1"_s);
        // The last page: the range ends at its total, or without a range the page shown is at least the total.
        QList<bool> last;
        for (const PaginationInfo &reading : { PaginationInfo { 3, 4, PaginatorRange { 101, 150, 151 } },
                 PaginationInfo { 4, 4, PaginatorRange { 151, 151, 151 } }, PaginationInfo { 11, 12, {} },
                 PaginationInfo { 12, 12, {} }, PaginationInfo { 13, 12, {} }, PaginationInfo { {}, 12, {} },
                 PaginationInfo {} })
            last << reading.isLastPage();
        QCOMPARE(last, (QList<bool> { false, true, false, true, true, false, false }));
    }

    // The pages read join up by their ranges: the first starts at 1, each next at most one past the one
    // before. An overlap or a wrap to the first page is no gap; an empty, backwards or unreadable range is not
    // checked, and neither is the page after it.
    void pagesJoinUp()
    {
        const auto gaps = [](const QList<std::optional<PaginatorRange>> &ranges) {
            PageRangeChain chain;
            QStringList found;
            for (const std::optional<PaginatorRange> &range : ranges) {
                if (const std::optional<SkippedPositions> skipped = chain.follow(range))
                    found << u"%1-%2"_s.arg(skipped->first).arg(skipped->last);
            }
            return found.join(u' ');
        };
        const auto range = [](qint64 first, qint64 last, qint64 count) {
            return std::optional(PaginatorRange { first, last, count });
        };
        QCOMPARE(gaps({ range(1, 10, 395), range(51, 100, 395), range(101, 150, 395) }), u"11-50"_s);
        QCOMPARE(gaps({ range(11, 20, 30), range(21, 30, 30) }), u"1-10"_s);
        QCOMPARE(gaps({ range(1, 50, 120), range(50, 99, 120), range(100, 120, 120), range(1, 50, 120) }), QString());
        QCOMPARE(gaps({ range(1, 50, 150), range(52, 101, 150), range(103, 150, 150) }), u"51-51 102-102"_s);
        QCOMPARE(gaps({ range(1, 50, 200), {}, range(151, 200, 200) }), QString());
        QCOMPARE(gaps({ {}, range(101, 150, 200) }), QString());
        QCOMPARE(gaps({ range(0, 0, 0), range(51, 100, 100) }), QString());
        QCOMPARE(gaps({ range(1, 50, 100), range(5, 3, 10), range(101, 150, 150) }), QString());
        QCOMPARE(PageRangeChain::describe({ { 11, 50 }, { 101, 101 } }),
            u"Portal pominął sprawy na pozycjach 11–50, 101."_s);
    }

    // Without a file nothing is opened or revealed; revealing asks the file manager on the bus to select
    // the file, and opens its folder, with a line in the log, when there is no file manager or no bus
    // at all (a separate test command points the bus at nothing).
    void fileActions()
    {
        Desktop desktop;
        QDesktopServices::setUrlHandler(u"file"_s, &desktop, "open");
        ScraperViewModel viewModel(deadPortal);
        viewModel.showInFinder(); // no file yet
        const QUrl file = QUrl::fromLocalFile(m_scratch.filePath(u"wynik.xlsx"_s));
        viewModel.progress()->setOutputFile(file);
        viewModel.openOutputFile();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QVERIFY(bus.registerObject(
                u"/org/freedesktop/FileManager1"_s, &desktop, QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(u"org.freedesktop.FileManager1"_s));
            viewModel.showInFinder();
            QTRY_COMPARE(desktop.asked.last(), u"show "_s + file.toString());
            bus.unregisterService(u"org.freedesktop.FileManager1"_s);
        }
        s_log.clear();
        viewModel.showInFinder();
        QTRY_COMPARE(desktop.asked.last(), u"open "_s + QUrl::fromLocalFile(m_scratch.path()).toString());
        QCOMPARE(desktop.asked.first(), u"open "_s + file.toString());
        QCOMPARE(s_log.size(), 1);
        QVERIFY2(s_log.first().startsWith(u"Show in file manager failed: "_s), qPrintable(s_log.first()));
        QDesktopServices::unsetUrlHandler(u"file"_s);
    }

    // The password lives in the secret store under the login, as its UTF-8 text; saving again replaces
    // it, a new login leaves the earlier item alone, and a removed item restores an empty password.
    void credentials()
    {
        saveCredentials(u"anna"_s, u"first"_s);
        saveCredentials(u"bartek"_s, u"barteks"_s);
        saveCredentials(u"anna"_s, u"zażółć gęślą jaźń"_s);
        QCOMPARE(storedSecret(u"anna"_s) + storedSecret(u"bartek"_s), u"zażółć gęślą jaźńbarteks"_s.toUtf8());
        QCOMPARE(loaded(), (QStringList { u"anna"_s, u"zażółć gęślą jaźń"_s }));
        deleteKeychainItem(u"anna"_s);
        QCOMPARE(loaded(), (QStringList { u"anna"_s, QString() }));
    }

    // With no reachable secret store (a separate test command points the bus at nothing) the
    // login is still remembered and the password comes back empty.
    void credentialsWithoutStore()
    {
        if (QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session without a secret store");
        saveCredentials(u"anna"_s, u"secret"_s);
        QCOMPARE(loaded(), (QStringList { u"anna"_s, QString() }));
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(ScraperViewModelTest)
#include "tst_scraperviewmodel.moc"
