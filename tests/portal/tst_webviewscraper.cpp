// The web-view driver: its scripts, loads and pauses, a driver that goes away, its page operations on layouts the
// whole walk does not show, and the login with its session.
#include "portal/webviewscraper.h"

#include "portal/pagescript.h"

#include "fakeportal.h"
#include "support/shard.h"
#include "webenginetestmain.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <csignal>

using namespace Qt::StringLiterals;

class TestWebViewScraper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_storage;
    FakePortal m_portal;
    std::unique_ptr<WebViewScraper> m_scraper;

    QVariant evaluate(const QString &script) { return runTask(m_scraper->evaluateJS(script)); }

    /** The values @p field received by records of @p kind, in order. */
    QStringList valuesOf(const QString &kind, const QString &field) const
    {
        QStringList values;
        for (const QJsonValue &entry : m_portal.records())
            if (entry[u"kind"] == kind && entry[u"field"] == field)
                values.append(entry[u"value"].toString());
        return values;
    }

    /** What the login field got, in the page's own order (reports arrive in parallel). */
    QStringList loginFieldEvents() const
    {
        QMap<qint64, QString> events;
        for (const QJsonValue &entry : m_portal.records()) {
            if (entry[u"field"] == u"login"_s && entry[u"kind"] != u"post"_s)
                events.insert(entry[u"order"].toInteger(), entry[u"kind"].toString());
        }
        return events.values();
    }

    void showPage(const QString &body, const QUrl &address = QUrl(u"http://crafted.test/"_s))
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(u"<!DOCTYPE html><meta charset='utf-8'><body>"_s + body, address);
        QVERIFY(loaded.wait(20000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_portal.isRunning(), qPrintable(m_portal.errorString()));
        m_scraper = std::make_unique<WebViewScraper>(m_portal.url(u"/login"_s), m_storage.path());
        setPauseScaleForTesting(0.02);
        showPage(u"<p>x</p>"_s);
    }

    void cleanupTestCase() { m_scraper.reset(); }

    void init()
    {
        if (!functionInThisShard(this))
            QSKIP("runs in another shard");
    }

    // Text that is no address fails with its own message. The wait ends with the page, which was requested
    // with the fixed user agent. A change after "#" alone, however the address is spelled, ends the wait
    // like a finished load and leaves no time-out behind to stop a later load; a page that keeps loading is
    // given up after 30 polls, without error, and stopped at the time-out.
    void loadURLWaitsForThePage()
    {
        QCOMPARE(failureOf(m_scraper->loadURL(u"portal/login"_s)), u"Nieprawidłowy URL: portal/login"_s);
        // Loads time out after 0.5 s here, and 30 polls last 0.3 s, within that.
        m_scraper->setRequestTimeoutForTesting(std::chrono::milliseconds(500));
        const auto restore
            = qScopeGuard([this] { m_scraper->setRequestTimeoutForTesting(WebViewScraper::requestTimeout); });
        runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString()));
        QCOMPARE(evaluate(u"document.body.innerText"_s), QVariant(u"plain page"_s));
        const QJsonObject request = m_portal.requests().last().toObject();
        QCOMPARE(request[u"userAgent"], u"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 "
                                        "(KHTML, like Gecko) Chrome/120.0.0.0 Safari/537.36"_s);

        QWebEnginePage *page = m_scraper->webView()->page();
        // The engine spells this one with a "/" before the "#".
        runTask(m_scraper->loadURL(m_portal.url(u"?page=plain#/sprawy"_s).toString()));
        QSignalSpy finished(page, &QWebEnginePage::loadFinished);
        evaluate(u"location.href = '/slow?seconds=0.8'"_s);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first(), QVariant(true));
        QVERIFY(WebViewScraper::isSameAddress(QUrl(u"https://h:443/a"_s), QUrl(u"https://h/a"_s)));
        QVERIFY(!WebViewScraper::isSameAddress(QUrl(u"http://h:443/a"_s), QUrl(u"http://h/a"_s)));

        runTask(m_scraper->loadURL(m_portal.url(u"/slow?seconds=30"_s).toString()));
        QVERIFY(page->isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!page->isLoading(), 20000);
    }

    // A step's own requests are waited for until they succeed, whichever way the page reads their answers; the
    // page's long poll, open at the action and asked again with another cursor, is not. A request the action
    // itself sends is the step's, whatever its path. A failed one is no answer and is over, but what the page
    // asks then is waited for. A page still loading, or a request that never ends, gives no answer within the
    // limit; a new document counts its requests from its start.
    void portalAnswer()
    {
        // The limit of 30 s lasts 0.6 s here, the settling after an answer 40 ms.
        runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString()));
        const auto act = [this](const QString &action) {
            return runTask(m_scraper->evaluateAction(u"(function() { "_s + action + u" })()"_s));
        };
        const auto answered = [this](double pause) {
            return runTask(m_scraper->awaitStep(StepGoal::answer(), pause, WebViewScraper::answerLimitSeconds)).verdict
                == StepWait::Verdict::done;
        };
        const auto answeredAs = [&](const QString &action) {
            act(u"window.answered = false; "_s + action);
            return answered(2.0) && evaluate(u"window.answered"_s) == QVariant(true);
        };
        const QString poll = u"fetch('/api/notifications?seconds=20&cursor=%1').then(function() {"
                              " window.polled = true; });"_s;
        act(u"window.polled = false;"_s);
        evaluate(poll.arg(1));
        QCOMPARE(act(u"setTimeout(function() { "_s + poll.arg(2) + u" }, 0); return 'searched';"_s),
            QVariant(u"searched"_s));
        QVERIFY(answered(2.0));
        QVERIFY(answeredAs(u"setTimeout(function() { fetch('/slow?seconds=0.15').then(function() {"
                           " window.answered = true; }); }, 0);"_s));
        QVERIFY(answeredAs(u"fetch('/api/notifications?seconds=0.15&cursor=3').then(function() {"
                           " window.answered = true; });"_s));
        QCOMPARE(evaluate(u"window.polled"_s), QVariant(false));
        // The same path as an open request, sent another way: a POST, not a GET.
        QVERIFY(answeredAs(u"setTimeout(function() { fetch('/api/notifications?seconds=0.15', { method: 'POST' })"
                           ".then(function() { window.answered = true; }); }, 0);"_s));

        // A fetch has been answered once its body has come, however the page reads it.
        const QString slowBody = u"function drain(reader) { return reader.read().then(function(c) {"
                                 " return c.done ? null : drain(reader); }); }"
                                 " fetch('/slowbody?seconds=0.15').then(function(r) { return %1; })"
                                 ".then(function() { window.answered = true; });"_s;
        for (const QString &reading : { u"r.text()"_s, u"r.clone().text()"_s, u"drain(r.body.getReader())"_s,
                 u"drain(r.body.pipeThrough(new TextDecoderStream()).getReader())"_s,
                 u"r.body.pipeTo(new WritableStream())"_s, u"drain(r.body.tee()[0].getReader())"_s })
            QVERIFY2(answeredAs(slowBody.arg(reading)), qPrintable(reading));
        // The body of the action's own request is the step's too, though a body from the same path is being read.
        evaluate(u"fetch('/slowbody?seconds=20').then(function(r) { return r.text(); })"_s);
        QVERIFY(answeredAs(slowBody.arg(u"r.text()"_s)));
        // A page that looks at the body and then reads it whole still can.
        QVERIFY(answeredAs(u"fetch('/slowbody?seconds=0.1').then(function(r) { return r.body ? r.text() : ''; })"
                           ".then(function(t) { window.answered = t === 'slow body'; });"_s));

        // A request opened again while under way ends there (the engine says so); the one sent then is waited for.
        QVERIFY(answeredAs(u"var x = new XMLHttpRequest(); x.open('GET', '/slow?seconds=20'); x.send();"
                           " x.open('GET', '/slow?seconds=0.15'); x.onload = function() { window.answered = true; };"
                           " x.send();"_s));
        // A request that fails ends there: aborted by a newer one, timed out, refused by the network, or a fetch
        // cancelled. What the page asks then is waited for.
        const QString then = u"fetch('/slow?seconds=0.1').then(function() { window.answered = true; });"_s;
        for (const QString &failing : {
                 u"var x = new XMLHttpRequest(); x.open('GET', '/slow?seconds=20'); x.send();"
                 " setTimeout(function() { x.abort(); %1 }, 50);"_s,
                 u"var x = new XMLHttpRequest(); x.open('GET', '/slow?seconds=20'); x.timeout = 50;"
                 " x.ontimeout = function() { %1 }; x.send();"_s,
                 u"var x = new XMLHttpRequest(); x.open('GET', '/drop'); x.onerror = function() { %1 }; x.send();"_s,
                 u"var c = new AbortController(); fetch('/slow?seconds=20', { signal: c.signal })"
                 ".catch(function() { %1 }); setTimeout(function() { c.abort(); }, 50);"_s })
            QVERIFY2(answeredAs(failing.arg(then)), qPrintable(failing));
        // Requests one after another, each sent a moment after the one before has ended, are all waited for.
        QVERIFY(answeredAs(u"function chain(n) { fetch('/slow?seconds=0.1').then(function() {"
                           " if (n === 0) window.answered = true; else setTimeout(function() { chain(n - 1); }, 15); }); }"
                           " chain(2);"_s));
        // A redirect the page does not follow answers with status 0, which is no failure.
        QVERIFY(answeredAs(u"fetch('/moved', { redirect: 'manual' }).then(function(r) {"
                           " window.answered = r.status === 0; });"_s));
        // Refused once, then asked again.
        QVERIFY(answeredAs(u"fetch('/status?code=503').then(function() { setTimeout(function() {"
                           " fetch('/slow?seconds=0.1').then(function() { window.answered = true; }); }, 200); });"_s));
        QVERIFY(!answeredAs(u"fetch('/slow?seconds=5');"_s));

        // An action that leaves for another document: its requests count from its own start.
        act(u"location.assign('/app?popups=0&region=none');"_s);
        QVERIFY(answered(0.1));
        QCOMPARE(evaluate(u"document.querySelector('h1').textContent"_s), QVariant(u"Strona główna"_s));

        // A new document's requests count from its very start, before it has been parsed.
        act(u"location.assign('/startup');"_s);
        QVERIFY(answered(0.1));
        QCOMPARE(evaluate(u"window.answered"_s), QVariant(true));

        // While the next document loads, a read still reaches the one it replaces, which asked for nothing.
        act(u"location.assign('/slow?seconds=5');"_s);
        QVERIFY(!answered(2.0));
        runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString()));
    }

    // Without a region control the run cannot choose its region, and fails. Every set filter, spaces, quotes,
    // backslashes and line breaks included, reaches its own field unchanged with the events of typing (dates
    // also lose focus); an unknown status fails; the search button applies those values.
    void filtersReachTheirFields()
    {
        runTask(m_scraper->loadURL(m_portal.url(u"/app?popups=0&region=none"_s).toString()));
        QCOMPARE(failureOf(m_scraper->selectApelacja(u"Apelacja gdańska"_s)),
            u"Nie znaleziono elementu: Apelacja dropdown"_s);
        QVERIFY(m_portal.reset());
        runTask(m_scraper->loadURL(m_portal.url(u"/app?popups=0#/sprawy"_s).toString()));
        // A status the portal does not offer is not set: the search would run without it.
        QCOMPARE(failureOf(m_scraper->applyFilters({ u"Zawieszone"_s, {}, {}, {}, {} })),
            u"Nie znaleziono elementu: Zawieszone"_s);
        QVERIFY(m_portal.reset());
        runTask(m_scraper->loadURL(m_portal.url(u"/app?popups=0#/sprawy"_s).toString()));
        const ScrapeFilters filters { u"W toku"_s, u"  "_s, u"2023-12-31"_s, u"O'Neil \\ \"Świt\"'); x('"_s,
            u"zażółć\n'gęślą' \\n\r jaźń"_s };
        runTask(m_scraper->applyFilters(filters));
        QStringList events;
        for (const QJsonValue &entry : m_portal.records()) {
            if (entry[u"kind"] != u"storage"_s && entry[u"kind"] != u"focus"_s)
                events << QStringList { entry[u"field"].toString(), entry[u"kind"].toString() }.join(u':')
                        + u'=' + entry[u"value"].toString();
        }
        QStringList expected { u"dataOd:blur="_s + filters.dataOd, u"dataDo:blur="_s + filters.dataDo };
        for (const auto &[field, value] : { std::pair(u"dataOd"_s, filters.dataOd), std::pair(u"dataDo"_s, filters.dataDo),
                 std::pair(u"podmiot"_s, filters.podmiot), std::pair(u"przedmiot"_s, filters.przedmiot) }) {
            const QString typed = QString(value).replace(u'\r', u'\n'); // as a text field holds it
            expected << field + u":set="_s + value << field + u":input="_s + typed
                     << field + u":change="_s + typed;
        }
        events.sort(); // reports arrive in parallel
        expected.sort();
        QCOMPARE(events, expected);
        const QJsonArray requests = m_portal.requests();
        const QUrlQuery applied(requests.last()[u"query"].toString().replace(u'+', u"%20"_s));
        QCOMPARE(requests.last()[u"path"], u"/api/sprawy"_s);
        QCOMPARE(applied.queryItemValue(u"status"_s, QUrl::FullyDecoded), u"W toku"_s);
        QCOMPARE(applied.queryItemValue(u"dataOd"_s, QUrl::FullyDecoded), u"  "_s);
        QCOMPARE(applied.queryItemValue(u"podmiot"_s, QUrl::FullyDecoded), filters.podmiot);
        QCOMPARE(
            evaluate(u"document.querySelector('.cdk-overlay-container').children.length"_s), QVariant(0));
    }

    // A driver destroyed mid-script or mid-pause never wakes up the code that was working on it. A
    // cancel ends a running pause at once, and a cancelled token fails even a pause of 0.
    void pauses()
    {
        auto other = std::make_unique<WebViewScraper>(m_portal.url(u"/login"_s), m_storage.filePath(u"2"_s));
        int resumed = 0;
        auto work = [&resumed](auto task) -> QCoro::Task<> {
            try {
                co_await std::move(task);
            } catch (...) {
            }
            ++resumed;
        };
        auto scripting = work(
            other->evaluateJS(u"(function() { var t = Date.now(); while (Date.now() - t < 300); })()"_s));
        auto pausing = work(other->sleep(1.0));
        other.reset();
        runTask(m_scraper->sleep(25.0)); // 0.5 s: well past the end of the other pause and of the script
        QCOMPARE(resumed, 0);

        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        const auto restore = qScopeGuard([this] { m_scraper->setCancellationToken(nullptr); });
        QTimer::singleShot(50, token.get(), &CancellationToken::cancel);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(1e9)));
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(0.0)));
    }

    void stepWait_data()
    {
        // The goal ("answer", "list" with the field "Podmiot" and the search button, "size" of 4 rows, "next",
        // "next!" where another page must come), the list before the action, and the readings every 0.25 s of
        // pauses: "-" unreadable, else "began/open/succeeded list". Lists: A and B pages of 2 rows of 4
        // cases, D page B with other rows, P the paginator of B over the rows of A, C all 4 rows, S the paginator
        // of C over A's rows, T that of C over no rows, R that of A over no rows, 0 an empty table without a
        // paginator, E a paginator counting none, F the search form alone, FA both.
        QTest::addColumn<QString>("goal");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("readings"); // "reading*n" stands for n readings alike
        QTest::addColumn<QString>("verdicts"); // w wait, d done, u unchanged, l lost, s stale, t timed out, m missing
        const auto row = [](const char *name, const char *goal, const char *before, const char *readings,
                             const char *verdicts) {
            QTest::newRow(name) << QString::fromUtf8(goal) << QString::fromUtf8(before) << QString::fromUtf8(readings)
                                << QString::fromUtf8(verdicts);
        };
        row("changed: once it has settled", "answer", "A", "1/0/1 B*3", "wwd");
        row("unchanged: long after the answer", "answer", "A", "1/0/1 A*9", "wwwwwwwwd");
        row("a failure is no answer, its retry is", "answer", "A", "1/0/0 A*4 2/0/1 B*3", "wwwwwwd");
        row("nothing began: the pause", "answer", "A", "0/0/0 A*2", "wd");
        row("not readable", "answer", "A", "- - 0/0/0 A", "wwd");
        row("an emptied table while the answer comes", "answer", "A", "1/1/0 0*3 1/0/1 0", "wwwd");
        row("an empty result by its count", "answer", "A", "1/1/0 E*3 1/0/1 E", "wwwd");
        row("changed, a request still open: long after", "answer", "A", "2/1/1 B*9", "wwwwwwwwd");
        row("changed before the answer: never done", "answer", "A", "1/1/0 B*12", "wwwwwwwwwwwt");
        row("a list drawn late with its form", "list", "0", "1/1/0 0*2 1/0/1 FA*3", "wwwwd");
        row("a list without the field it needs", "list", "0", "1/0/1 A*9", "wwwwwwwwm");
        row("an empty list: its form once answered", "list", "0", "1/1/0 F*2 1/0/1 F*9", "wwwwwwwwwwd");
        row("never shown", "list", "0", "1/1/0 0*12", "wwwwwwwwwwwt");
        row("a paginator counting cases before its rows", "list", "0", "1/0/1 R*3 1/0/1 FA*3", "wwwwwd");
        row("the form of the page before is no empty list", "list", "F", "0/0/0 F*12", "wwwwwwwwwwwt");
        row("the size in the paginator before the rows", "size", "A", "1/0/1 S*3 1/0/1 C*3", "wwwwwd");
        row("the size shown already", "size", "C", "0/0/0 C*2", "wd");
        row("a table emptied while the rows come", "size", "A", "1/1/0 T*3 1/0/1 C*3", "wwwwwd");
        row("moved", "next!", "A", "1/0/1 B*3", "wwd");
        row("the paginator moved before the rows", "next!", "A", "1/0/1 P*3 1/0/1 B*3", "wwwwwd");
        row("a lost click", "next!", "A", "0/0/0 A*2", "wl");
        row("failed: stale at the limit", "next!", "A", "1/0/0 A*12", "wwwwwwwwwwws");
        row("open at the limit", "next!", "A", "1/1/0 A*12", "wwwwwwwwwwwt");
        row("another page at the limit, not settled", "next!", "A",
            "1/0/1 B 1/0/1 D 1/0/1 B 1/0/1 D 1/0/1 B 1/0/1 D 1/0/1 B 1/0/1 D 1/0/1 B 1/0/1 D 1/0/1 B 1/0/1 D",
            "wwwwwwwwwwwd");
        row("no other page need come", "next", "A", "1/0/1 A*2", "wu");
        row("no other page need come, once answered", "next", "A", "1/1/0 A*2 1/0/1 A", "wwu");
    }

    // When the page shows a step's result, reading by reading; the step's pause is 0.5 s and its limit 3 s.
    void stepWait()
    {
        QFETCH(QString, goal);
        QFETCH(QString, before);
        QFETCH(QString, readings);
        QFETCH(QString, verdicts);
        const auto list = [](const QString &name) {
            // Each paged list: its rows' signature, their number, and the range shown of 4 cases.
            struct Paged
            {
                const char *signature;
                qint64 rows, first, last;
            };
            static const QHash<QChar, Paged> pages { { u'A', { "2:ab", 2, 1, 2 } }, { u'B', { "2:cd", 2, 3, 4 } },
                { u'P', { "2:ab", 2, 3, 4 } }, { u'C', { "4:abcd", 4, 1, 4 } }, { u'S', { "2:ab", 2, 1, 4 } },
                { u'D', { "2:ef", 2, 3, 4 } }, { u'T', { "0:", 0, 1, 4 } }, { u'R', { "0:", 0, 1, 2 } } };
            ListReading reading;
            reading.signature = u"0:"_s;
            if (const auto found = pages.constFind(name.back()); found != pages.constEnd()) {
                reading.signature = QString::fromUtf8(found->signature);
                reading.rows = found->rows;
                reading.paginator = { (found->first + 1) / 2, 2, PaginatorRange { found->first, found->last, 4 } };
                reading.paginatorText = u"%1 - %2 z 4"_s.arg(found->first).arg(found->last);
            } else if (name == u"E") {
                reading.paginator.range = PaginatorRange { 0, 0, 0 };
            }
            if (name.startsWith(u'F')) {
                reading.labels = QStringList { u"Podmiot sprawy"_s };
                reading.searchButton = true;
            }
            return reading;
        };
        const QHash<QString, StepGoal> goals { { u"answer"_s, StepGoal::answer() },
            { u"list"_s, StepGoal::caseList({ u"Podmiot"_s }, true) }, { u"size"_s, StepGoal::pageSizeOf(4) },
            { u"next"_s, StepGoal::nextPage(false) }, { u"next!"_s, StepGoal::nextPage(true) } };
        StepWait wait(goals.value(goal), list(before), RequestMark { u"d"_s, 0, {}, 0 }, 0.5, 3.0);
        QString taken;
        double elapsed = 0;
        QStringList expanded;
        const QStringList items = readings.split(u' ');
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items[i] == u"-"_s) {
                expanded.append(items[i]);
                continue;
            }
            const QStringList repeated = items[i + 1].split(u'*');
            for (int n = 0; n < (repeated.size() > 1 ? repeated[1].toInt() : 1); ++n)
                expanded.append(items[i] + u' ' + repeated[0]);
            ++i;
        }
        for (const QString &reading : std::as_const(expanded)) {
            elapsed += StepWait::pollSeconds;
            StepReading taking;
            if (reading != u"-"_s) {
                const QStringList counts = reading.section(u' ', 0, 0).split(u'/');
                taking.requests = StepRequests { u"d"_s, false, counts[0].toLongLong(), counts[1].toLongLong(),
                    counts[2].toLongLong(), 0 };
                taking.list = list(reading.section(u' ', 1));
            }
            const StepWait::Verdict verdict = wait.take(taking, elapsed);
            taken += QStringLiteral("wdulstm").at(static_cast<int>(verdict));
        }
        QCOMPARE(taken, verdicts);
    }

    // The engine may answer at once, before an await could connect to its answer: a discarded page does
    // (its scripts are refused). That resumes the caller all the same, as a page that stopped working.
    void discardedPage()
    {
        QWebEnginePage *page = m_scraper->webView()->page();
        runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString()));
        // Only a page not shown can be discarded; the other tests share this driver.
        m_scraper->offscreenWindow()->hide();
        page->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
        const auto restore = qScopeGuard([this, page] {
            page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
            m_scraper->offscreenWindow()->show();
            runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString()));
        });
        QCOMPARE(page->lifecycleState(), QWebEnginePage::LifecycleState::Discarded);
        std::optional<QString> failure;
        // Not runTask(): a caller never resumed would hang the test instead of failing it.
        auto running = [](WebViewScraper *scraper, std::optional<QString> &result) -> QCoro::Task<> {
            result = failureOf(scraper->evaluateJS(u"document.body.innerText"_s));
            co_return;
        }(m_scraper.get(), failure);
        QTRY_VERIFY_WITH_TIMEOUT(failure.has_value(), 10000);
        QCOMPARE(*failure, u"Strona portalu przestała działać."_s);
    }

    void pageScripts_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected"); // its value, then what was clicked, then the inputs' values
        const auto row = [](const char *name, const QString &body, const QString &script, const char *expected) {
            QTest::newRow(name) << body << script << QString::fromUtf8(expected);
        };
        const auto script = [](const QString &name) { return PageScript::load(name); };
        row("no value", u"<p>x</p>"_s, u"(function() {})()"_s, "||");
        row("a value like a failure", {}, u"({ ok: false, error: [0.25, true] })"_s,
            R"({"error":[0.25,true],"ok":false}||)");
        row("a failure", {}, u"(function() { throw new Error('boom'); })()"_s, "Error: boom||");
        row("a script that does not compile", {}, u")("_s, "skryptu nie udało się uruchomić albo jego strona zniknęła||");
        row("login by control name before a text input", u"<input type=text><input formcontrolname=login>"_s,
            WebViewScraper::loginFillJS(u"jan"_s), "true||,jan");
        row("login by user name", u"<input><input name=username>"_s, WebViewScraper::loginFillJS(u"jan"_s),
            "true||,jan");
        row("login by placeholder without a text input", u"<input type=password><input placeholder=Login>"_s,
            WebViewScraper::loginFillJS(u"jan"_s), "true||,jan");
        row("password by name before its type", u"<input type=password><input name=password>"_s,
            WebViewScraper::passwordFillJS(u"p"_s), "true||,p");
        row("submit input", u"<input type=submit id=s value=x>"_s, WebViewScraper::submitJS(), "true|s|x");
        row("submit by its text", u"<button id=o>OK</button><button id=z> Zaloguj się</button>"_s,
            WebViewScraper::submitJS(), "true|z|");
        row("logged in", u"<p>Moje doręczenia</p>"_s, WebViewScraper::loggedInProbeJS(), "ok||");
        row("logged in, by the log-out", u"<p>Wyloguj</p>"_s, WebViewScraper::loggedInProbeJS(), "ok||");
        row("pop-ups: shown close buttons only", u"<div class=cdk-overlay-container><button id=h hidden "
            "aria-label=Close></button><button id=c aria-label=Zamknij></button><button id=o> OK </button>"
            "<button id=n>Nie</button></div>"_s, script(u"closeoverlays"_s), "2|c,o|");
        row("case list: an item within 350 px of the left edge",
            u"<a id=h hidden>Sprawy</a><a id=r style='position:absolute;left:400px'>Sprawy</a>"
            "<mat-list-item id=l>Sprawy sądowe</mat-list-item>"_s, script(u"sprawylink"_s), "true|l|");
        row("case list: a list item", u"<div role=listitem id=l>Sprawy</div>"_s, script(u"sprawylink"_s),
            "true|l|");
        row("region by its short name in capitals", u"<div class=cdk-overlay-container><button id=w>Wrocławska"
            "</button><button id=g>Apelacja GDAŃSKA</button></div>"_s,
            PageScript::withValue(u"regionmenuitem"_s, u"__SHORT_NAME__"_s, u"gdańska"_s), "true|g|");
        row("filter button by its text", u"<button id=w>Wyczyść</button><button id=z>ZASTOSUJ</button>"_s,
            script(u"filterbutton"_s), "true|z|");
        row("filter button by its other text", u"<button id=f>Filtruj</button>"_s, script(u"filterbutton"_s),
            "true|f|");
        row("filter button by its text alone", u"<button id=w>Wyczyść</button><button id=s>Szukaj</button>"_s,
            script(u"filterbutton"_s), "true|s|");
        row("filter button by its icon", u"<button id=f><mat-icon>filter_list</mat-icon></button>"_s,
            script(u"filterbutton"_s), "true|f|");
        row("status option: shown and holding the value", u"<mat-option id=h hidden>W toku</mat-option>"
            "<mat-option id=a>Wszystkie</mat-option><mat-option id=t> W toku </mat-option>"_s,
            PageScript::withValue(u"selectoption"_s, u"__VALUE__"_s, u"W toku"_s), "true|t|");
        row("largest page size", u"<div role=option id=a>10</div><div role=option id=b>100 / strona</div>"
            "<div role=option id=c>25</div>"_s, script(u"largestoption"_s), "100|b|");
        row("page size select", u"<div class=app-pagination><span class=pagination-select id=s>10</span></div>"_s,
            script(u"pagesize"_s), "clicked-select|s|");
        row("no paginator", u"<p>x</p>"_s, script(u"pagesize"_s), "no-pagination||");
        row("pages as \"n z m\"", u"<div class=mat-paginator>Strona 3 z 12</div>"_s, script(u"paginator"_s),
            R"({"current":3,"total":12}||)");
        row("empty range", u"<div class=app-pagination>5 - 4 z 10</div>"_s, script(u"paginator"_s),
            R"({"current":null,"total":null,"range":[5,4,10]}||)");
        row("rows of a table, its header among them", u"<table><tbody><tr><td>Sygnatura / Sąd</td><td>b</td>"
            "<td>c</td></tr><tr><td>III Ca 7/22<br>Sąd Okręgowy<br>I Wydział<br>Cywilny keyboard_double_arrow_down</td>"
            "<td>&lt;b&gt; 'y'<br>Jan<br>Anna arrow_drop_down</td><td>SSR<br>Nowak</td><td>2022-02-02<br>-</td><td>"
            "\u25A0 W toku</td></tr></tbody></table>"_s,
            script(u"rows"_s), R"([["III Ca 7/22","Sąd Okręgowy","I Wydział Cywilny","<b> 'y'","Jan, Anna","SSR )"
            R"(Nowak","2022-02-02","","W toku"]]||)");
        row("rows of three and two cells, a numbered header", u"<div role=row><div>Lp.</div><div>x</div><div>y"
            "</div></div><div role=row><div>A<br>B</div><div>C</div><div>D</div></div><div role=row><div>X</div>"
            "<div>Y</div></div>"_s, script(u"rows"_s), R"([["A","B","","C","","D","","",""]]||)");
        row("rows of plain elements; a lone surrogate", u"<div class=cdk-row><div class=cdk-cell id=c>I C 1/24"
            "</div><div class=cdk-cell>😀</div><div class=cdk-cell>R</div></div><script>c.textContent += "
            "String.fromCharCode(0xD800)</script>"_s,
            script(u"rows"_s), "[[\"I C 1/24\uFFFD\",\"\",\"\",\"😀\",\"\",\"R\",\"\",\"\",\"\"]]||");
        row("numbers in groups of three", u"<div class=app-pagination>1 - 50 z 1 730 elementów</div>"_s,
            script(u"paginator"_s), R"({"current":1,"total":35,"range":[1,50,1730]}||)");
        row("numbers in groups of three after the page size", u"<div class=app-pagination><span>50</span> "
            "<span>50 151 - 1 200 z 1 730</span></div>"_s, script(u"paginator"_s),
            R"({"current":1,"total":2,"range":[151,1200,1730]}||)");
        row("range, rounded up", u"<div class=app-pagination>11 - 20 z 25</div>"_s, script(u"paginator"_s),
            R"({"current":2,"total":3,"range":[11,20,25]}||)");
        row("pages with a slash", u"<div class=app-pagination>3 / 12</div>"_s, script(u"paginator"_s),
            R"({"current":3,"total":12}||)");
        row("next by its title, before następn", u"<div class=app-pagination><button>poprzednia</button><button id=a "
            "title='Next page'>&gt;</button><button id=b aria-label='Następna strona'>&gt;</button></div>"_s,
            script(u"nextpage"_s), "true|a|");
        row("next: a disabled one passed over, a link", u"<div class=app-pagination><button disabled aria-label=Next>"
            "x</button><a id=b><mat-icon>navigate_next</mat-icon></a></div>"_s, script(u"nextpage"_s), "true|b|");
        row("next by its icon", u"<div class=app-pagination><button id=f><mat-icon>arrow_forward</mat-icon>"
            "</button></div>"_s, script(u"nextpage"_s), "true|f|");
        row("next by page number", u"<div class=app-pagination><button>1</button><button class=active>2</button>"
            "<button id=n>3</button></div>"_s, script(u"nextpage"_s), "true|n|");
        row("next by page number after the one marked current", u"<div class=app-pagination><button>1</button>"
            "<button aria-current=page>2</button><button id=n>3</button></div>"_s, script(u"nextpage"_s), "true|n|");
        row("no next on the last page", u"<div class=app-pagination><button disabled><mat-icon>chevron_right</mat-icon>"
            "</button><button id=p>2</button><button aria-current=page>3</button></div>"_s, script(u"nextpage"_s),
            "false||");
        row("rows counted once", u"<table><tbody><tr><td>1</td></tr><tr class=mat-row><td>2</td></tr>"
            "</tbody></table>"_s, script(u"rowcount"_s), "2||");
        row("signature", u"<mat-row>a</mat-row><mat-row>b</mat-row>"_s, script(u"signature"_s), "2:ab||");
        row("login form shown", u"<input placeholder=Login><input type=password>"_s,
            WebViewScraper::loginFormShownJS(), "true||,");
        row("a search form is no login form", u"<input type=text><input type=search>"_s,
            WebViewScraper::loginFormShownJS(), "false||,");
    }

    // Script values come back as they are, no value for null and undefined, and a script that throws fails
    // with the engine's message. Each page script finds what the portal's page may show in the forms its
    // page contract allows.
    void pageScripts()
    {
        QFETCH(QString, body);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        showPage(body + u"<script>window.clicked = []; document.querySelectorAll('[id]').forEach(function(e) {"
                        " e.addEventListener('click', function() { window.clicked.push(e.id); }); });</script>"_s);
        QString value;
        try {
            const QVariant result = evaluate(script);
            value = result.typeId() == QMetaType::QVariantMap
                ? QString::fromUtf8(QJsonDocument::fromVariant(result).toJson(QJsonDocument::Compact))
                : result.toString();
        } catch (const JavaScriptError &error) {
            value = error.message();
        }
        QCOMPARE(value + u'|' + evaluate(u"window.clicked.join(',') + '|' + Array.from("
                                         "document.querySelectorAll('input'), function(e) { return e.value; })"_s)
                                .toString(),
            expected);
    }

    // A login page that comes after the page wait has given up is waited for, up to the request's limit, and
    // gets the credentials; the page shown before it, the portal's, does not count as logged in.
    void lateLoginPage()
    {
        setPauseScaleForTesting(0.05); // the page wait gives up after 0.75 s
        const auto restore = qScopeGuard([] { setPauseScaleForTesting(0.02); });
        QVERIFY(m_portal.reset() && m_portal.configure({ { u"loginDelay"_s, 1.5 } }));
        WebViewScraper scraper(m_portal.url(u"/login"_s), m_storage.filePath(u"late"_s));
        runTask(scraper.loadURL(m_portal.url(u"/app?popups=0"_s).toString()));
        runTask(scraper.login(u"anna"_s, u"a1"_s));
        QCOMPARE(valuesOf(u"post"_s, u"login"_s), QStringList { u"anna"_s });
        QVERIFY(m_portal.configure({ { u"loginDelay"_s, 0 } }));
    }

    // A page between documents, without a body yet, is probed again rather than failed with a script error;
    // a login page without one is measured as empty.
    void pageWithoutBody()
    {
        showPage(u"<p>Sprawy</p>"_s);
        evaluate(u"document.body.remove()"_s);
        QCOMPARE(failureOf(m_scraper->verifyLoggedIn()), u"Logowanie nie powiodło się. Sprawdź dane."_s);
        WebViewScraper scraper(m_portal.url(u"/login?nobody"_s), m_storage.filePath(u"nobody"_s));
        QCOMPARE(failureOf(scraper.login(u"anna"_s, u"a1"_s)), u"Logowanie nie powiodło się. Sprawdź dane."_s);
    }

    void filtersInPlace_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("filters"); // status, dataOd, dataDo, podmiot, przedmiot
        QTest::addColumn<QString>("failure");
        // A status select whose option takes, or not; a date the page rewrites as it loses focus; a party field
        // the page empties again, or not; the search button.
        const QString status = u"<mat-form-field><mat-label>Status</mat-label><mat-select>Wszystkie</mat-select>"
                               "</mat-form-field><mat-option id=o>W toku</mat-option>"_s;
        const QString taking = u"<script>o.onclick = function() { document.querySelector('mat-select')"
                               ".textContent = 'W toku'; };</script>"_s;
        const QString date = u"<mat-form-field><mat-label>Data wpływu od</mat-label><input onblur=\"this.value ="
                             " this.value.split('-').reverse().join('.')\"></mat-form-field>"_s;
        const QString party = u"<mat-form-field><mat-label>Podmiot</mat-label><input id=p></mat-form-field>"_s;
        const QString emptied = u"<script>p.onchange = function() { p.value = ''; };</script>"_s;
        const QString search = u"<button id=s>Szukaj</button>"_s;
        const QStringList none { u"Wszystkie"_s, {}, {}, {}, {} };
        const QStringList set { u"W toku"_s, u"2024-01-05"_s, {}, u"Nowak"_s, {} };
        QTest::newRow("in place, a date rewritten") << status + taking + date + party + search << set << QString();
        QTest::newRow("a status the select does not take") << status + date + party + search << set << u"W toku"_s;
        QTest::newRow("a party field emptied") << status + taking + date + party + emptied + search << set
                                               << u"Podmiot"_s;
        QTest::newRow("no subject field") << status + taking + date + party + search
                                          << QStringList { u"W toku"_s, {}, {}, {}, u"o zapłatę"_s } << u"Przedmiot"_s;
        QTest::newRow("no search button") << status + taking + date + party << set << u"przycisk wyszukiwania"_s;
        QTest::newRow("nothing set, nothing there") << u"<p>Sprawy</p>"_s << none << QString();
    }

    // Before the search, every filter set is in place: found, filled, and still holding its value (in whatever
    // form the page gave it), the status shown in its select; else the step fails naming what is missing.
    void filtersInPlace()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, filters);
        QFETCH(QString, failure);
        showPage(page + u"<script>window.clicked = []; document.querySelectorAll('[id]').forEach(function(e) {"
                        " e.addEventListener('click', function() { window.clicked.push(e.id); }); });</script>"_s);
        QCOMPARE(failureOf(m_scraper->applyFilters({ filters[0], filters[1], filters[2], filters[3], filters[4] })),
            failure.isEmpty() ? QString() : u"Nie znaleziono elementu: "_s + failure);
        // The search is pressed only with every filter in place.
        QCOMPARE(evaluate(u"window.clicked.indexOf('s') !== -1"_s), QVariant(failure.isEmpty() && page.contains(u"Szukaj")));
    }

    // Without a case-list link, the list is opened at its address on the current host, over HTTPS, without the
    // current port, path, query and fragment; a list that does not show there fails the step.
    void caseListAddress()
    {
        showPage(u"<p>Strona główna</p>"_s, QUrl(u"http://127.0.0.1:9/app?x=1#/"_s));
        QCOMPARE(failureOf(m_scraper->navigateToSprawy()), u"Nie udało się otworzyć listy spraw."_s);
        // The wait may give up before the load fails; the page then fails at that address.
        QTRY_COMPARE_WITH_TIMEOUT(m_scraper->webView()->url(), QUrl(u"https://127.0.0.1/#/sprawy"_s), 20000);
        // Nor is there one to open where the page has no host.
        showPage(u"<p>Strona główna</p>"_s, QUrl(u"file:///portal/index.html"_s));
        QCOMPARE(failureOf(m_scraper->navigateToSprawy()), u"Nie udało się otworzyć listy spraw."_s);
        // A failed load is no reason to fail the next login.
        QVERIFY(m_portal.reset());
        runTask(m_scraper->login(u"anna"_s, u"a1"_s));
    }

    // Quotes, backslashes, escape look-alikes, line breaks, U+2028 and emoji reach the focused inputs exactly
    // as typed, followed by input and change, as typing reports; the portal takes the password. Another login
    // must not inherit the stored session: cookies and web storage are dropped first, so the new password is
    // really checked. The same login again reuses its session, kept on disk, and types nothing.
    void sessionFollowsTheLogin()
    {
        setPauseScaleForTesting(0.05);
        const auto restore = qScopeGuard([] { setPauseScaleForTesting(0.02); });
        const QString anna = u"o'Brien\\x\ny\rz\u2028😀 a\\nb\\'c"_s;
        const QString annasPassword = u"p'\\\\'\u2028😀ś\" \\r"_s; // a password input would drop line breaks
        const QString posted = QString(anna).remove(u'\n').remove(u'\r'); // and so does a text input
        QVERIFY(m_portal.reset() && m_portal.configure(
            { { u"accounts"_s, QJsonObject { { posted, annasPassword }, { u"bartek"_s, u"b2"_s } } } }));
        {
            WebViewScraper scraper(m_portal.url(u"/login"_s), m_storage.filePath(u"login"_s));
            runTask(scraper.login(anna, annasPassword));
            QCOMPARE(valuesOf(u"set"_s, u"login"_s), QStringList { anna });
            QCOMPARE(valuesOf(u"set"_s, u"password"_s), QStringList { annasPassword });
            QCOMPARE(loginFieldEvents(), (QStringList { u"focus"_s, u"set"_s, u"input"_s, u"change"_s }));
            QCOMPARE(failureOf(scraper.login(u"bartek"_s, u"wrong"_s)),
                u"Logowanie nie powiodło się. Sprawdź dane."_s);
            QCOMPARE(scraper.sessionLogin(), QString());
            runTask(scraper.login(u"bartek"_s, u"b2"_s));
            runTask(scraper.login(u"bartek"_s, u"b2"_s));
            QCOMPARE(scraper.sessionLogin(), u"bartek"_s);
            // A session whose login is not on record is nobody's: another login is checked, not let in.
            QVERIFY(QFile::remove(m_storage.filePath(u"login/sessionlogin"_s)));
            QCOMPARE(failureOf(scraper.login(posted, u"wrong"_s)), u"Logowanie nie powiodło się. Sprawdź dane."_s);
            runTask(scraper.login(u"bartek"_s, u"b2"_s));
        }
        // The session is kept on disk, for the next launch: the cookies are written out as the profile goes.
        const auto written = [this] {
            QFile cookies(m_storage.filePath(u"login/Cookies"_s));
            return cookies.open(QIODevice::ReadOnly) && cookies.readAll().contains("PORTAL");
        };
        QTRY_VERIFY_WITH_TIMEOUT(written(), 20000);
        // What each page found in web storage on arrival: nothing of anna's on the login pages after
        // her, and bartek's own portal storage kept when he comes back.
        QStringList found;
        for (const QJsonValue &entry : m_portal.records()) {
            if (entry[u"kind"] == u"storage"_s)
                found.append(entry[u"page"].toString() + u'=' + entry[u"local"][u"portalUser"].toString());
        }
        // Once his session's record was gone, his storage went with it.
        QCOMPARE(found.join(u' '), u"/login= /= /login= /login= /login= /= /=bartek /login= /login= /login= /="_s);
        QCOMPARE(valuesOf(u"set"_s, u"login"_s), (QStringList { anna, u"bartek"_s, u"bartek"_s, posted, u"bartek"_s }));
    }

    // A page whose process has ended fails every script at once, until a load brings a new one. A page stuck
    // in a script fails once it has not answered in time, and is ended so that the next load works. A stop
    // waits a moment for a script's answer and uses it; a script that does not answer then is given up.
    void pageThatStopsAnswering()
    {
        QWebEnginePage *page = m_scraper->webView()->page();
        const auto loadPlain = [this] { runTask(m_scraper->loadURL(m_portal.url(u"/?page=plain"_s).toString())); };
        const QString body = u"document.body.innerText"_s;
        loadPlain();
        QSignalSpy ended(page, &QWebEnginePage::renderProcessTerminated);
        ::kill(static_cast<pid_t>(page->renderProcessPid()), SIGKILL);
        QVERIFY(ended.wait(20000));
        const QString crashed = u"Strona portalu przestała działać."_s;
        QCOMPARE(failureOf(m_scraper->evaluateJS(body)), crashed);
        QCOMPARE(failureOf(m_scraper->evaluateJS(body)), crashed);
        loadPlain();
        QCOMPARE(evaluate(body), QVariant(u"plain page"_s));

        m_scraper->setScriptTimeoutForTesting(std::chrono::milliseconds(300));
        const auto restore = qScopeGuard([this] {
            m_scraper->setScriptTimeoutForTesting(WebViewScraper::scriptTimeout);
            m_scraper->setCancellationToken(nullptr);
        });
        QCOMPARE(failureOf(m_scraper->evaluateJS(u"(function() { for (;;) {} })()"_s)),
            u"Strona portalu nie odpowiada."_s);
        QCOMPARE(failureOf(m_scraper->evaluateJS(body)), crashed);
        // At once: the load must not go to the process the driver has just ended.
        loadPlain();
        QCOMPARE(evaluate(body), QVariant(u"plain page"_s));
        QCOMPARE(ended.count(), 2); // ended by the driver
        m_scraper->setScriptTimeoutForTesting(WebViewScraper::scriptTimeout);

        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        QTimer::singleShot(50, token.get(), &CancellationToken::cancel);
        QCOMPARE(evaluate(u"(function() { var t = Date.now(); while (Date.now() - t < 400); return 7; })()"_s),
            QVariant(7));
        QVERIFY_THROWS_EXCEPTION(CancellationError, evaluate(u"(function() { for (;;) {} })()"_s));
        m_scraper->setCancellationToken(nullptr);
        loadPlain();
        QCOMPARE(evaluate(body), QVariant(u"plain page"_s));
        QCOMPARE(ended.count(), 3);
    }

    // A login page that does not load at all is reported with the engine's reason, not as a refused login.
    void unreachablePortal()
    {
        QTcpServer closed; // a port nobody listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QUrl refusing(u"http://127.0.0.1:%1/login"_s.arg(closed.serverPort()));
        closed.close();
        for (const auto &[url, reason] : { std::pair(refusing, u"net::ERR_CONNECTION_REFUSED"_s),
                 std::pair(m_portal.url(u"/status?code=503"_s), u"HTTP 503"_s) }) {
            WebViewScraper scraper(url, m_storage.filePath(u"unreachable"_s));
            QCOMPARE(failureOf(scraper.login(u"anna"_s, u"a1"_s)),
                u"Nie udało się otworzyć strony portalu. "_s + reason);
        }
    }

    // A portal that takes the connection and never answers, or fails it while the login is being checked, is
    // reported as out of reach, not as a wrong password; the page shown before, logged in, does not count.
    void portalThatNeverAnswers()
    {
        // The page wait lasts 0.75 s here; the login waits on for its page, which the second server fails
        // after 1.1 s.
        setPauseScaleForTesting(0.05);
        const auto restore = qScopeGuard([] { setPauseScaleForTesting(0.02); });
        QTcpServer silent; // accepts, then says nothing; the second one closes each connection after 1.1 s
        QTcpServer closing;
        QVERIFY(silent.listen(QHostAddress::LocalHost) && closing.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> held;
        connect(&silent, &QTcpServer::newConnection, this, [&] { held.append(silent.nextPendingConnection()); });
        connect(&closing, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = closing.nextPendingConnection();
            QTimer::singleShot(1100, socket, [socket] { socket->abort(); });
        });
        {
            WebViewScraper scraper(QUrl(u"http://127.0.0.1:%1/login"_s.arg(silent.serverPort())),
                m_storage.filePath(u"silent"_s));
            // The login waits for its page up to the request's limit.
            scraper.setRequestTimeoutForTesting(std::chrono::milliseconds(1500));
            runTask(scraper.loadURL(m_portal.url(u"/app?popups=0"_s).toString()));
            QCOMPARE(PageScript::textOr(runTask(scraper.evaluateJS(WebViewScraper::loggedInProbeJS())), {}), u"ok"_s);
            QCOMPARE(failureOf(scraper.login(u"anna"_s, u"a1"_s)),
                u"Nie udało się otworzyć strony portalu. Portal nie odpowiada."_s);
        }
        WebViewScraper scraper(QUrl(u"http://127.0.0.1:%1/login"_s.arg(closing.serverPort())),
            m_storage.filePath(u"closing"_s));
        QCOMPARE(failureOf(scraper.login(u"anna"_s, u"a1"_s)),
            u"Nie udało się otworzyć strony portalu. net::ERR_EMPTY_RESPONSE"_s);
        qDeleteAll(held);
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestWebViewScraper)
#include "tst_webviewscraper.moc"
