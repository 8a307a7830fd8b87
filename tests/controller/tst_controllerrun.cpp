// Whole runs of the controller in the real web engine against the fake portal: login, pop-ups,
// region, case list, filters, page size, every page, the workbook, and each of the run's endings.
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/webviewscraper.h"
#include "support/shard.h"
#include "webenginetestmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cerrno>
#include <csignal>

using namespace Qt::StringLiterals;
using enum ScrapeProgress::ScrapePhase;

// What the controller logs as warnings or errors during a run; the test acts on the driver's lines.
QStringList s_viewModelLog;
std::function<void(const QString &)> s_onScraperLine;

void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, lcViewModel().categoryName()) == 0 && type != QtInfoMsg && type != QtDebugMsg)
        s_viewModelLog.append(message);
    else if (qstrcmp(context.category, lcScraper().categoryName()) == 0 && s_onScraperLine)
        s_onScraperLine(message);
}

class ControllerRunTest : public QObject
{
    Q_OBJECT

    FakePortal m_portal;

private Q_SLOTS:
    void initTestCase()
    {
        applyApplicationIdentity();
        QVERIFY2(m_portal.isRunning(), qPrintable(m_portal.errorString()));
        qInstallMessageHandler(captureLog);
    }

    void run_data()
    {
        QTest::addColumn<QJsonObject>("config"); // the portal's behaviour (see server.py)
        QTest::addColumn<QString>("status"); // the status filter
        QTest::addColumn<QString>("podmiot");
        // "stop", "kill" (the page's process) and/or "unwritable" (the folder goes); "stop at real pauses": the
        // rest of the run at its real pauses, and a stop a moment later...
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("at"); // ... when the driver logs a line starting so, or "status:" and a status
        QTest::addColumn<ScrapePhase>("ending");
        QTest::addColumn<int>("collected"); // how many of the portal's first cases are collected; -1 all
        QTest::addColumn<QString>("expectedStatus");
        QTest::addColumn<QString>("expectedMessage"); // the error line
        QTest::addColumn<QList<int>>("skipped"); // the first and last position (from 1) of cases not collected
        int index = 0;
        const auto row = [&index](const char *name, QJsonObject config, QString status, QString podmiot,
                             QString action, QString at, ScrapePhase ending, int collected, QString expectedStatus,
                             QString expectedMessage = {}, QList<int> skipped = {}) {
            if (inThisShard(index++))
                QTest::newRow(name) << config << status << podmiot << action << at << ending << collected
                                    << expectedStatus << expectedMessage << skipped;
        };
        const QString inProgress = u"W toku"_s, firstPage = u"extractPageData: found"_s,
                      lastPage = u"goToNextPage: no paginator found"_s;
        const QString noNextPage = u"Portal nie pokazał kolejnej strony. Plik zawiera tylko pobrane sprawy."_s;
        const QString folderGone = u"Nie udało się zapisać pliku XLSX. "_s + qt_error_string(ENOENT);
        row("next disabled on a short last page", {}, inProgress, u"a"_s, {}, {}, done, -1,
            u"Gotowe! Pobrano 72 spraw."_s);
        row("four pages, the last of one case", {}, u"Wszystkie"_s, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 151 spraw."_s);
        row("paginator wraps to the first page", { { u"paging"_s, u"wrap"_s } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("a page of known cases between", { { u"paging"_s, u"repeat"_s } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("next changes nothing on the last page", { { u"paging"_s, u"stuck"_s } }, inProgress, {}, {}, {}, done,
            -1, u"Gotowe! Pobrano 100 spraw."_s);
        row("a slow case list", { { u"delay"_s, 0.25 } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("no next control", { { u"paging"_s, u"nonext"_s } }, inProgress, {}, {}, {}, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s, noNextPage);
        row("the case list fails from the second page", { { u"failFrom"_s, 1 } }, inProgress, {}, {}, {}, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s, noNextPage);
        row("the session expires after the first page", { { u"expireFrom"_s, 1 } }, u"Wszystkie"_s, {}, {}, {},
            done, 50, u"Niekompletne: pobrano 50 spraw (strona 1 z 4)."_s,
            u"Sesja portalu wygasła. Plik zawiera tylko pobrane sprawy."_s);
        row("page process dies while paging", {}, inProgress, {}, u"kill"_s, firstPage, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s,
            u"Strona portalu przestała działać. Plik zawiera tylko pobrane sprawy."_s);
        row("page process dies after the only page", {}, inProgress, u"Firma"_s, u"kill"_s, firstPage, done, -1,
            u"Gotowe! Pobrano 30 spraw."_s);
        row("no results", {}, inProgress, u"Nikt Taki"_s, {}, {}, done, 0, u"Brak wyników."_s);
        row("stopped during login", {}, inProgress, {}, u"stop"_s, u"Loading login page"_s, stopped, 0,
            u"Zatrzymano. Pobrano 0 spraw."_s);
        row("stopped while paging", {}, inProgress, {}, u"stop"_s, firstPage, stopped, 50,
            u"Zatrzymano. Pobrano 50 spraw."_s);
        row("stopped after the last page", {}, inProgress, {}, u"stop"_s, lastPage, stopped, -1,
            u"Zatrzymano. Pobrano 100 spraw."_s);
        row("folder gone before saving", {}, inProgress, {}, u"unwritable"_s, lastPage, error, -1,
            u"Błąd: "_s + folderGone, folderGone);
        row("folder gone before a stop's save", {}, inProgress, {}, u"stop unwritable"_s, lastPage, stopped, -1,
            u"Zatrzymano. Pobrano 100 spraw."_s, folderGone);
        // A portal that answers late (its delays are several of the run's pauses here, within the wait's limit)
        // is read only once it has answered: each step's list is the one it asked for.
        // With every answer late, the first showing would come after the search's, were it not waited for; the
        // page size already shown is chosen again, which asks nothing and so mends nothing.
        const QJsonObject late { { u"list"_s, 0.5 }, { u"search"_s, 0.15 }, { u"page"_s, 0.25 } };
        // Without a search button the first showing is all there is to wait for.
        row("the first showing answered late, no search button", { { u"nofilter"_s, true },
                { u"delays"_s, QJsonObject { { u"list"_s, 0.3 } } } }, u"Wszystkie"_s, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 151 spraw."_s);
        row("a page size answered late", { { u"delays"_s, QJsonObject { { u"size"_s, 0.3 } } } }, u"Wszystkie"_s, {}, {},
            {}, done, -1, u"Gotowe! Pobrano 151 spraw."_s);
        row("a party search answered late, the largest size shown", { { u"size"_s, 50 },
                { u"delays"_s, QJsonObject { { u"search"_s, 0.3 } } } }, u"Wszystkie"_s, u"Anna"_s, {}, {}, done, -1,
            u"Gotowe! Pobrano 56 spraw."_s);
        row("every answer late", { { u"delays"_s, late }, { u"size"_s, 50 } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        // Every answer later than all the pauses up to the row count: without the waits, the table would still
        // be empty then.
        const QJsonObject later { { u"list"_s, 0.3 }, { u"search"_s, 0.3 }, { u"size"_s, 0.3 }, { u"page"_s, 0.3 } };
        row("every answer after the pauses", { { u"delays"_s, later } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("answers late at random", { { u"random"_s, QJsonArray { 0.3, 23 } } }, u"Wszystkie"_s, {}, {}, {}, done,
            -1, u"Gotowe! Pobrano 151 spraw."_s);
        row("the search never answered", { { u"never"_s, u"search"_s } }, inProgress, {}, {}, {}, error, 0,
            u"Błąd: Portal nie odpowiada na wyszukiwanie."_s, u"Portal nie odpowiada na wyszukiwanie."_s);
        row("a page never answered", { { u"never"_s, u"page"_s } }, inProgress, {}, {}, {}, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s, noNextPage);
        row("a lost answer", { { u"lose"_s, 1 } }, inProgress, {}, {}, {}, done, -1, u"Gotowe! Pobrano 100 spraw."_s);
        // The page after the skip repeats the case before it (position 100).
        row("a page skipped", { { u"jump"_s, QJsonArray { 1, 2 } } }, u"Wszystkie"_s, {}, {}, {}, done, -1,
            u"Niekompletne: pobrano 102 spraw (strona 4 z 4)."_s,
            u"Portal pominął sprawy na pozycjach 51–100. Plik zawiera tylko pobrane sprawy."_s, { 51, 99 });
        // A stop ends the wait for the next page at once, even where the page would never come.
        row("stopped while the next page is awaited", { { u"never"_s, u"page"_s } }, inProgress, {},
            u"stop at real pauses"_s, u"goToNextPage: paginator clicked"_s, stopped, 50, u"Zatrzymano. Pobrano 50 spraw."_s);
        // The page goes as the status names a page, before its rows are read.
        const QString crashed = u"Strona portalu przestała działać."_s;
        row("page process dies as the last page is read", {}, inProgress, {}, u"kill"_s,
            u"status:Pobieranie strony 2..."_s, done, 50, u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s,
            crashed + u" Plik zawiera tylko pobrane sprawy."_s);
        row("page process dies as the first page is read", {}, inProgress, {}, u"kill"_s,
            u"status:Pobieranie strony 1..."_s, error, 0, u"Błąd: "_s + crashed, crashed);
        row("a next page never answered, without page numbers", { { u"paging"_s, u"plain"_s },
                { u"never"_s, u"page"_s } }, inProgress, {}, {}, {}, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1)."_s, noNextPage);
        row("a case table without a paginator", { { u"paging"_s, u"none"_s } }, inProgress, {}, {}, {}, done, 10,
            u"Gotowe! Pobrano 10 spraw."_s);
        row("page 3 answered with page 1", { { u"jump"_s, QJsonArray { 2, 0 } } }, u"Wszystkie"_s, {}, {}, {}, done, 100,
            u"Niekompletne: pobrano 100 spraw (strona 2 z 4)."_s, noNextPage);
        // Habits of single-page portals, their delays in the run's pauses (scaled as the pauses are): each step
        // ends once the page shows its result.
        const auto scaled = [](QJsonObject config) {
            config.insert(u"scale"_s, 0.02);
            return config;
        };
        row("the case list a module that comes late", scaled({ { u"module"_s, 12 } }), inProgress, {}, {}, {}, done,
            -1, u"Gotowe! Pobrano 100 spraw."_s);
        row("the module late, a party typed", scaled({ { u"module"_s, 6.5 } }), u"Wszystkie"_s, u"Anna"_s, {}, {},
            done, -1, u"Gotowe! Pobrano 56 spraw."_s);
        row("the case list never shows", scaled({ { u"module"_s, 1000 } }), inProgress, {}, {}, {}, error, 0,
            u"Błąd: Nie udało się otworzyć listy spraw."_s, u"Nie udało się otworzyć listy spraw."_s);
        row("the party's field labelled otherwise", { { u"labels"_s, QJsonObject { { u"podmiot"_s, u"Strona"_s } } } },
            u"Wszystkie"_s, u"Anna"_s, {}, {}, error, 0, u"Błąd: Nie znaleziono elementu: Podmiot"_s,
            u"Nie znaleziono elementu: Podmiot"_s);
        row("a notification long poll", scaled({ { u"longpoll"_s, 20 } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("the search refused once", scaled({ { u"refuse"_s, QJsonObject { { u"search"_s, 20 } } }, { u"size"_s, 50 } }),
            u"Wszystkie"_s, u"Anna"_s, {}, {}, done, -1, u"Gotowe! Pobrano 56 spraw."_s);
        row("a next page refused once", scaled({ { u"refuse"_s, QJsonObject { { u"page"_s, 4 } } } }), inProgress, {},
            {}, {}, done, -1, u"Gotowe! Pobrano 100 spraw."_s);
        row("page numbers without a range, a next page refused once", scaled({ { u"paging"_s, u"pages"_s },
                { u"refuse"_s, QJsonObject { { u"page"_s, 4 } } } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("an answer lost, the portal's page index moved on", scaled({ { u"lose"_s, 1 }, { u"keepIndex"_s, true },
                { u"numbers"_s, true } }), inProgress, {}, {}, {}, done, -1, u"Gotowe! Pobrano 100 spraw."_s);
        // Without page numbers to ask by, the second click goes past the page whose answer was lost.
        row("an answer lost, the index moved on, no page numbers", scaled({ { u"lose"_s, 1 }, { u"keepIndex"_s, true } }),
            u"Wszystkie"_s, {}, {}, {}, done, 50, u"Niekompletne: pobrano 50 spraw (strona 1 z 4)."_s,
            u"Nie pobrano spraw na pozycjach 51–151. Plik zawiera tylko pobrane sprawy."_s);
        row("bodies that come late, read by a stream reader", scaled({ { u"stream"_s, 3 } }), inProgress, {}, {}, {}, done,
            -1, u"Gotowe! Pobrano 100 spraw."_s);
        row("the paginator drawn before its rows", scaled({ { u"labelFirst"_s, 10 } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("a click on to the next page lost", scaled({ { u"deaf"_s, 0 } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("the region menu opens late", scaled({ { u"menuDelay"_s, 4.5 } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        // Without a link, at the list's own address (here on the portal's scheme and port), a first showing that
        // comes late.
        row("the case list opened by its address, answered late", { { u"nolink"_s, true },
                { u"delays"_s, QJsonObject { { u"list"_s, 0.3 } } } }, inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        // The run does not ask a page that hangs whether it shows the login form.
        row("a page that hangs at the next page", { { u"hangNext"_s, true } }, inProgress, {}, {}, {}, done, 50,
            u"Niekompletne: pobrano 50 spraw (strona 1 z 2)."_s,
            u"Strona portalu nie odpowiada. Plik zawiera tylko pobrane sprawy."_s);
        row("the region changes late", scaled({ { u"regionDelay"_s, 25 } }), inProgress, {}, {}, {}, done, -1,
            u"Gotowe! Pobrano 100 spraw."_s);
        row("the region never shows", scaled({ { u"menuDelay"_s, 1000 } }), inProgress, {}, {}, {}, error, 0,
            u"Błąd: Nie znaleziono elementu: Apelacja gdańska"_s, u"Nie znaleziono elementu: Apelacja gdańska"_s);
    }

    // The cases the run collects, with all their fields, its ending's phase, status, error, log line,
    // screen and workbook, the progress it leaves, and its elapsed time, which stops at every ending.
    void run()
    {
        QFETCH(QJsonObject, config);
        QFETCH(QString, status);
        QFETCH(QString, podmiot);
        QFETCH(QString, action);
        QFETCH(QString, at);
        QFETCH(ScrapePhase, ending);
        QFETCH(int, collected);
        QFETCH(QString, expectedStatus);
        QFETCH(QString, expectedMessage);
        QFETCH(QList<int>, skipped);
        const QString paging = config[u"paging"].toString();
        QVERIFY(m_portal.reset());
        setPauseScaleForTesting(0.05);
        QVERIFY(m_portal.configure(config));
        QTemporaryDir folder;
        QSettings().clear();
        ScraperViewModel viewModel(m_portal.url(u"/login"_s));
        viewModel.scraper()->setCaseListKeepsOriginForTesting(true);
        // A page that hangs is given up on after a second.
        if (config.contains(u"hangNext"))
            viewModel.scraper()->setScriptTimeoutForTesting(std::chrono::seconds(1));
        viewModel.setLogin(u"anna"_s);
        viewModel.setPassword(u"tajne hasło"_s);
        viewModel.setSelectedApelacja(u"Apelacja gdańska"_s);
        viewModel.setFilters({ status, {}, {}, podmiot, {} });
        viewModel.setOutputDirectory(QUrl::fromLocalFile(folder.path()));
        // The run starts minutes after the controller was made: its time counts from its own start.
        qint64 now = 0;
        viewModel.setMonotonicClockForTesting([&now] { return now; });
        now = 300000;

        QList<ScrapePhase> phases;
        QStringList statuses;
        std::pair<QString, double> shownAtAction;
        bool acted = false;
        QElapsedTimer sinceAction;
        int pagesRead = 0;
        int clicks = 0;
        s_viewModelLog.clear();
        const auto act = [&] {
            acted = true;
            shownAtAction = { viewModel.progress()->pageInfo(), viewModel.progress()->progressValue() };
            sinceAction.start();
            const auto stop = [&] {
                now += 1000;
                viewModel.stopScraping();
            };
            if (action.contains(u"real pauses")) {
                // After the click's own pause of 1.5 s, while the answer is polled for.
                setPauseScaleForTesting(1.0);
                QTimer::singleShot(2500, &viewModel, stop);
            } else if (action.contains(u"stop")) {
                stop();
            }
            if (action == u"kill")
                ::kill(
                    static_cast<pid_t>(viewModel.scraper()->webView()->page()->renderProcessPid()), SIGKILL);
            if (action.contains(u"unwritable"))
                QDir(folder.path()).removeRecursively();
        };
        s_onScraperLine = [&](const QString &message) {
            // The login's pauses leave the portal's pages time to arrive; once in, the rest may run faster. A slow
            // portal's answers must come later than the pauses after a click, and within the wait for them: 30 s
            // of pauses last 0.6 s here, at least twice its delays.
            if (message.startsWith(u"verifyLoggedIn"_s) && message.contains(u"result=ok"_s)) {
                const bool slow = config.contains(u"delay") || config.contains(u"delays") || config.contains(u"random")
                    || config.contains(u"never") || config.contains(u"scale");
                setPauseScaleForTesting(slow ? 0.02 : 0.01);
            }
            pagesRead += message.startsWith(u"extractPageData"_s);
            clicks += message.startsWith(u"goToNextPage: paginator clicked"_s);
            if (!action.isEmpty() && !acted && !at.startsWith(u"status:"_s) && message.startsWith(at))
                act();
        };
        const auto forget = qScopeGuard([] { s_onScraperLine = nullptr; });
        QSignalSpy finished(&viewModel, &ScraperViewModel::runFinished);
        const QDateTime startedAt = QDateTime::currentDateTime();
        viewModel.startScraping();
        ScrapeProgress *progress = viewModel.progress();
        phases.append(progress->phase());
        statuses.append(progress->statusText());
        connect(progress, &ScrapeProgress::phaseChanged, this, [&] { phases.append(progress->phase()); });
        connect(progress, &ScrapeProgress::statusTextChanged, this, [&] {
            statuses.append(progress->statusText());
            if (!action.isEmpty() && !acted && at == u"status:"_s + progress->statusText())
                act();
        });
        QList<double> values;
        connect(progress, &ScrapeProgress::progressValueChanged, this,
            [&] { values.append(progress->progressValue()); });
        now = 365700;
        QVERIFY(finished.wait(60000));
        if (action.contains(u"real pauses")) {
            // Well below the 30 s the wait would last, far above what the stop takes.
            QVERIFY2(sinceAction.elapsed() < 10000, qPrintable(QString::number(sinceAction.elapsed())));
            setPauseScaleForTesting(0.05);
        }

        const QJsonArray portalCases = m_portal.allCases(
            { { u"region"_s, u"gdańska"_s }, { u"status"_s, status }, { u"podmiot"_s, podmiot } });
        QStringList expected; // the nine fields of each case as the portal has them
        for (const QJsonValue &item : portalCases) {
            QStringList fields;
            for (const char16_t *key : { u"sygnatura", u"sad", u"wydzial", u"przedmiot", u"glownePodmioty",
                     u"referent", u"dataWplywu", u"dataZakonczenia", u"status" })
                fields.append(QVariant(item[key].toVariant()).toStringList().join(u", "_s));
            expected.append(fields.join(u'\t'));
        }
        if (collected >= 0)
            expected = expected.first(std::min<qsizetype>(expected.size(), collected));
        if (!skipped.isEmpty())
            expected.remove(skipped[0] - 1, skipped[1] - skipped[0] + 1);
        const bool unwritable = action.contains(u"unwritable");
        // No workbook of nothing, nor of a failure, nor where there is no folder.
        const bool file = ending != error && !expected.isEmpty() && !unwritable;
        QStringList rows;
        for (int row = 0; row < viewModel.caseCount(); ++row)
            rows.append(viewModel.caseColumnValues(row).join(u'\t'));
        QCOMPARE(rows, expected);
        // Each page is read once, the wrapped-to and the repeated page included; an unchanged one is not.
        if (collected < 0 && action.isEmpty() && skipped.isEmpty())
            QCOMPARE(pagesRead, (portalCases.size() + 49) / 50 + (paging == u"wrap" || paging == u"repeat"));
        // On a last page whose next control changes nothing, that control is clicked once, not again.
        if (paging == u"stuck"_s)
            QCOMPARE(clicks, 2);

        QCOMPARE(phases.last(), ending);
        QVERIFY(std::is_sorted(phases.begin(), phases.end())
            && !phases.contains(ending == done ? stopped : done));
        // A failed save names its cause in the system's words, also after a stop; a run that read only part
        // of the table says why, and what its file holds.
        const QString message = progress->errorMessageText();
        QCOMPARE(message, expectedMessage);
        const QHash<QString, QString> expectedReason {
            { u"Portal nie pokazał kolejnej strony. Plik zawiera tylko pobrane sprawy."_s,
                u"Portal nie pokazał kolejnej strony."_s },
            { u"Sesja portalu wygasła. Plik zawiera tylko pobrane sprawy."_s, u"Sesja portalu wygasła."_s },
            { u"Strona portalu przestała działać. Plik zawiera tylko pobrane sprawy."_s,
                u"Strona portalu przestała działać."_s },
            { u"Portal pominął sprawy na pozycjach 51–100. Plik zawiera tylko pobrane sprawy."_s,
                u"Portal pominął sprawy na pozycjach 51–100."_s },
            { u"Nie pobrano spraw na pozycjach 51–151. Plik zawiera tylko pobrane sprawy."_s,
                u"Nie pobrano spraw na pozycjach 51–151."_s },
            { u"Strona portalu nie odpowiada. Plik zawiera tylko pobrane sprawy."_s,
                u"Strona portalu nie odpowiada."_s } };
        QCOMPARE(s_viewModelLog,
            message.isEmpty()       ? QStringList()
                : ending == error   ? QStringList { u"Pipeline error: "_s + message }
                : ending == stopped ? QStringList { u"Save after stop failed: "_s + message }
                                    : QStringList { u"Incomplete run: "_s + expectedReason.value(message) });
        QCOMPARE(progress->statusText(), expectedStatus);
        QCOMPARE(viewModel.viewState(),
            ending == error ? ScraperViewModel::ViewState::progress : ScraperViewModel::ViewState::results);
        QCOMPARE(progress->recordCount(), rows.size());
        // A stop, or a page that stops working before any case is read, leaves the progress shown then.
        if (action.contains(u"stop") || (action == u"kill" && ending == error))
            QCOMPARE(std::pair(progress->pageInfo(), progress->progressValue()), shownAtAction);
        else if (ending == error && !unwritable) // the step that failed: the region, the case list, the search
            QCOMPARE(progress->progressValue(), message.contains(u"Apelacja"_s) ? 0.15 : message.contains(u"wyszukiwanie"_s) ? 0.25 : 0.2);
        else
            QCOMPARE(progress->progressValue(), ending == done ? 1.0 : 0.95);

        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), file ? 1 : 0);
        QCOMPARE(progress->outputFile().isLocalFile(), file);
        if (file) { // the workbook's sheet as openpyxl reads it
            QProcess reader;
            reader.start(QStringLiteral(VELMORIA_PYTHON3),
                { QStringLiteral(VELMORIA_WORKBOOK_READER), progress->outputFile().toLocalFile() });
            QVERIFY(reader.waitForFinished(60000));
            const QJsonObject book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
            QStringList read { book[u"sheets"][0].toString() };
            for (const QJsonValue &row : book[u"rows"].toArray())
                read.append(QVariant(row.toArray().toVariantList()).toStringList().join(u'\t'));
            QCOMPARE(read, (QStringList { u"Sprawy"_s, u"Sygnatura\tSąd\tWydział\tPrzedmiot sprawy\tGłówne "
                "podmioty sprawy\tReferent\tData wpływu\tData zakończenia\tStatus"_s } << rows));
            // Named by the region, the party filter when set and the minute of the save.
            const auto named = [&podmiot](const QDateTime &moment) {
                return u"gdańska_sprawy_%1%2.xlsx"_s.arg(podmiot.isEmpty() ? QString() : podmiot + u'_',
                    moment.toString(u"yyyyMMdd_HHmm"_s));
            };
            const QString name = progress->outputFile().fileName();
            QVERIFY2(name == named(startedAt) || name == named(QDateTime::currentDateTime()), qPrintable(name));
        }

        // The last update of the elapsed time is the ending's (a stop's own at its moment); none follows.
        QCOMPARE(progress->elapsedSeconds(), action.contains(u"stop") ? 66 : 65);
        now += 5000;
        QSignalSpy elapsed(progress, &ScrapeProgress::elapsedSecondsChanged);
        runTask(cancellableSleep(std::make_shared<CancellationToken>(), 3.0)); // three ticks of the timer
        QVERIFY(elapsed.isEmpty());
        QVERIFY(!viewModel.isRunning());
        // A plain run shows every step and page in order, with its progress; one without rows no page. A short
        // last page takes its place from the page size of the pages before it.
        if (ending == done && paging.isEmpty() && message.isEmpty()) {
            QStringList steps = u"Uruchamianie...|Logowanie...|Zamykanie powiadomień...|Wybieranie "
                                "apelacji...|Nawigacja do spraw...|Stosowanie filtrów..."_s.split(u'|');
            QList<double> shares { 0.05, 0.1, 0.15, 0.2, 0.25 };
            QList<ScrapePhase> road { launching, loggingIn, selectingApelacja, navigating, filtering };
            QString position = u"\u2014"_s;
            const qsizetype total = (rows.size() + 49) / 50;
            for (qsizetype shown = 1; shown <= total; ++shown) {
                steps << u"Pobieranie strony %1..."_s.arg(shown);
                shares << 0.3 + shown * 0.6 / total;
                position = u"%1 / %2"_s.arg(shown).arg(total);
            }
            if (!rows.isEmpty()) {
                steps << u"Zapisywanie XLSX..."_s;
                shares << 0.95;
                road << scraping << saving;
            }
            QCOMPARE(statuses, steps << expectedStatus);
            QCOMPARE(values, shares << 1.0);
            QCOMPARE(phases, road << done);
            QCOMPARE(progress->pageInfo(), position);
        }
    }

    void hungPage_data()
    {
        QTest::addColumn<int>("stop"); // 0 none, 1 before the hanging script is sent, 2 while it runs
        QTest::addColumn<QString>("expectedStatus");
        // On shards with fewer rows of the run table (its 51 rows over 12 shards leave the last nine one short).
        if (inThisShard(9))
            QTest::newRow("stopped before its script is sent") << 1 << u"Zatrzymano. Pobrano 0 spraw."_s;
        if (inThisShard(10))
            QTest::newRow("stopped while its script runs") << 2 << u"Zatrzymano. Pobrano 0 spraw."_s;
        if (inThisShard(11))
            QTest::newRow("silent for too long") << 0 << u"Błąd: Strona portalu nie odpowiada."_s;
    }

    // A page stuck in an endless script as the page size is chosen: a stop ends the run all the same, whether
    // it comes before that script is sent or while it runs, and so does the page's silence once it has lasted
    // too long; the next run in the same window works.
    void hungPage()
    {
        // Without rows in this shard QtTest calls the function once with no data at all.
        if (!QTest::currentDataTag())
            QSKIP("runs in another shard");
        QFETCH(int, stop);
        QFETCH(QString, expectedStatus);
        QVERIFY(m_portal.reset());
        QTemporaryDir folder;
        ScraperViewModel viewModel(m_portal.url(u"/login"_s));
        viewModel.setLogin(u"anna"_s);
        viewModel.setPassword(u"a1"_s);
        viewModel.setSelectedApelacja(u"Apelacja wrocławska"_s);
        viewModel.setOutputDirectory(QUrl::fromLocalFile(folder.path()));
        QSignalSpy finished(&viewModel, &ScraperViewModel::runFinished);
        bool stopThere = false;
        s_onScraperLine = [&](const QString &message) {
            if (message.startsWith(u"verifyLoggedIn"_s) && message.contains(u"result=ok"_s))
                setPauseScaleForTesting(0.01);
            if (!stopThere || !message.startsWith(u"Setting max page size"_s))
                return;
            // The script is sent right after this line, before the event loop runs again.
            if (stop == 1)
                viewModel.stopScraping();
            else
                QTimer::singleShot(0, &viewModel, &ScraperViewModel::stopScraping);
        };
        const auto forget = qScopeGuard([] { s_onScraperLine = nullptr; });
        // A search without results shows that the next run gets through the login, the region and the filters.
        // A stop gives a script a second to answer; the wait's limit is far below the 30 s after which a
        // silent page is given up anyway, and far above that second.
        const auto run = [&](bool hang) {
            QVERIFY(m_portal.configure({ { u"hang"_s, hang } }));
            setPauseScaleForTesting(0.05);
            viewModel.setFilter(u"podmiot"_s, hang ? QString() : u"Nikt Taki"_s);
            stopThere = hang && stop != 0;
            viewModel.startScraping();
            QVERIFY(finished.wait(15000));
        };
        if (stop == 0)
            viewModel.scraper()->setScriptTimeoutForTesting(std::chrono::seconds(1));
        run(true);
        QCOMPARE(viewModel.progress()->statusText(), expectedStatus);
        QCOMPARE(viewModel.viewState(),
            stop == 0 ? ScraperViewModel::ViewState::progress : ScraperViewModel::ViewState::results);
        run(false);
        QCOMPARE(viewModel.progress()->statusText(), u"Brak wyników."_s);
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(ControllerRunTest)
#include "tst_controllerrun.moc"
