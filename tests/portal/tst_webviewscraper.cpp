#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Form fields as the portal's filter panel presents them, plus a target for point clicks.
const QString fieldsPage = uR"(
<mat-form-field><mat-label>Data wpływu od</mat-label><input id="i1"></mat-form-field>
<mat-form-field><mat-label>Data wpływu do</mat-label><textarea id="t2"></textarea></mat-form-field>
<mat-form-field><mat-label>Podmiot</mat-label><div>bez pola</div></mat-form-field>
<mat-form-field><mat-label>Podmiot zainteresowany</mat-label><input id="i4"></mat-form-field>
<mat-form-field><mat-label>Przedmiot</mat-label><textarea id="t5"></textarea><input id="i5"></mat-form-field>
<button id="target" style="position: absolute; left: 100px; top: 200px; width: 50px; height: 40px">x</button>)"_s;

} // namespace

class TestWebViewScraper : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_storage;
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<WebViewScraper> m_scraper;

    // Shows @p body in a page that records focus, input, change, blur and click events as "type:id".
    void showPage(const QString &body = {})
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(
            u"<!DOCTYPE html><html><head><meta charset='utf-8'></head><body style='margin: 0'>"_s + body
                + u"<script>window.events = []; ['focus', 'input', 'change', 'blur', 'click'].forEach(function(type) {"
                  " document.addEventListener(type, function(e) { window.events.push(type + ':' + e.target.id); }, true);"
                  " });</script></body></html>"_s,
            QUrl(u"http://fields.test/"_s));
        QVERIFY(loaded.wait(20000));
    }

    QVariant evaluate(const QString &script) { return runTask(m_scraper->evaluateJS(script)); }

private Q_SLOTS:
    void initTestCase()
    {
        m_storage = std::make_unique<QTemporaryDir>();
        QVERIFY(m_storage->isValid());
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
        m_scraper = std::make_unique<WebViewScraper>(m_portal->url(u"/login"_s), m_storage->path());
        setPauseScaleForTesting(0.1);
    }

    void cleanupTestCase()
    {
        m_scraper.reset();
        m_portal.reset();
        setPauseScaleForTesting(1.0);
    }

    void init() { m_scraper->setCancellationToken(nullptr); }

    void scriptValues_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("text") << u"'Sąd ' + 'Rejonowy'"_s << QVariant(u"Sąd Rejonowy"_s);
        QTest::newRow("object") << u"({ list: [0.25, 'a', true] })"_s
                                << QVariant(QVariantMap{{u"list"_s, QVariantList{0.25, u"a"_s, true}}});
        QTest::newRow("trailing semicolon") << u"  'x';  "_s << QVariant(u"x"_s);
        QTest::newRow("trailing comment") << u"'x' // comment"_s << QVariant(u"x"_s);
        QTest::newRow("null") << u"null"_s << QVariant();
        QTest::newRow("undefined") << u"(function() {})()"_s << QVariant();
    }

    // Script values come back as they are; null and undefined as no value.
    void scriptValues()
    {
        QFETCH(QString, script);
        QFETCH(QVariant, expected);
        showPage();
        QCOMPARE(evaluate(script), expected);
    }

    void throwingScriptFails_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("throw") << u"(function() { throw new Error('boom'); })()"_s << u"Error: boom"_s;
        QTest::newRow("syntax error") << u"(function( {"_s << QString();
    }

    // A script that throws or does not compile fails evaluateJS with the engine's message.
    void throwingScriptFails()
    {
        QFETCH(QString, script);
        QFETCH(QString, messagePart);
        showPage();
        try {
            evaluate(script);
            QFAIL("the script's error was not reported");
        } catch (const JavaScriptError &error) {
            QVERIFY2(!error.message().isEmpty() && error.message().contains(messagePart), qPrintable(error.message()));
        }
    }

    void escapeJS_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("backslash then quote") << u"\\'"_s << u"\\\\\\'"_s;
        QTest::newRow("line breaks") << u"a\r\nb"_s << u"a\\r\\nb"_s;
        QTest::newRow("tab, double quote, letters, U+2028, emoji unchanged")
            << u"\t\"Łódź\"\u2028😀"_s << u"\t\"Łódź\"\u2028😀"_s;
        QTest::newRow("breaking out of the string") << u"x'); window.hacked = true; ('"_s
                                                    << u"x\\'); window.hacked = true; (\\'"_s;
    }

    // The escape rule, and that a quoted escaped text reads back as the text itself in the engine.
    void escapeJS()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(WebViewScraper::escapeJS(text), escaped);
        showPage();
        QCOMPARE(evaluate(u"'"_s + escaped + u"'"_s).toString(), text);
        QVERIFY(!evaluate(u"window.hacked"_s).isValid());
    }

    void pageScripts_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QString>("effects"); // filled fields, then the events in order
        const QString v = u"Nowak 'Jan' \\ \"x\""_s;
        const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
        row("field: first containing label") << fieldsPage << WebViewScraper::fillFieldJS(u"Data wpływu"_s, v) << QVariant(true)
                                             << u"i1=%1|focus:i1,input:i1,change:i1"_s.arg(v);
        row("field: one without control skipped") << fieldsPage << WebViewScraper::fillFieldJS(u"Podmiot"_s, v) << QVariant(true)
                                                  << u"i4=%1|focus:i4,input:i4,change:i4"_s.arg(v);
        row("field: text area first") << fieldsPage << WebViewScraper::fillFieldJS(u"Przedmiot"_s, v) << QVariant(true)
                                      << u"t5=%1|focus:t5,input:t5,change:t5"_s.arg(v);
        row("input: text area skipped") << fieldsPage << WebViewScraper::fillInputJS(u"Data wpływu do"_s, v) << QVariant(false)
                                        << u"|"_s;
        row("input: first input, blur last") << fieldsPage << WebViewScraper::fillInputJS(u"Przedmiot"_s, v) << QVariant(true)
                                             << u"i5=%1|focus:i5,input:i5,change:i5,blur:i5"_s.arg(v);
        row("point: target's last pixel") << fieldsPage << WebViewScraper::clickAtPointJS(149, 239) << QVariant(true)
                                          << u"|click:target"_s;
        row("point: beside target") << fieldsPage << WebViewScraper::clickAtPointJS(150, 210) << QVariant(true) << u"|click:"_s;
        row("point: outside the 1400-pixel viewport") << fieldsPage << WebViewScraper::clickAtPointJS(1400, 100)
                                                      << QVariant(false) << u"|"_s;
        row("point: negative") << fieldsPage << WebViewScraper::clickAtPointJS(-10, -20) << QVariant(false) << u"|"_s;
        row("login: form control before name")
            << u"<input name='login' id='a'><input formcontrolname='login' id='b'>"_s
            << WebViewScraper::loginFillJS(v) << QVariant(true) << u"b=%1|focus:b,input:b,change:b"_s.arg(v);
        row("login: first text input before placeholder")
            << u"<input type='email' placeholder='Login' id='a'><input type='text' id='b'><input type='text' id='c'>"_s
            << WebViewScraper::loginFillJS(v) << QVariant(true) << u"b=%1|focus:b,input:b,change:b"_s.arg(v);
        row("login: placeholder before id")
            << u"<input type='email' id='login'><input type='email' placeholder='Podaj login' id='b'>"_s
            << WebViewScraper::loginFillJS(v) << QVariant(true) << u"b=%1|focus:b,input:b,change:b"_s.arg(v);
        row("login: none") << u"<input type='password' id='a'>"_s << WebViewScraper::loginFillJS(v) << QVariant(false) << u"|"_s;
        row("password: by id") << u"<input type='text' id='password'>"_s << WebViewScraper::passwordFillJS(v) << QVariant(true)
                               << u"password=%1|focus:password,input:password,change:password"_s.arg(v);
        row("submit: submit control first")
            << u"<button id='a'>Zaloguj</button><button type='submit' id='b'>Wyślij</button>"_s
            << WebViewScraper::submitJS() << QVariant(true) << u"|click:b"_s;
        row("submit: button by its words")
            << u"<button type='button' id='a'>Pomoc</button><button type='button' id='b'>  ZALOGUJ SIĘ </button>"_s
            << WebViewScraper::submitJS() << QVariant(true) << u"|click:b"_s;
        row("submit: nothing to click") << u"<button type='button' id='a'>Dalej</button>"_s << WebViewScraper::submitJS()
                                        << QVariant(false) << u"|"_s;
        // The probe reads the page's visible text, case-sensitively.
        row("probe: cases anywhere") << u"<p>Twoje Sprawy są tutaj</p>"_s << WebViewScraper::loggedInProbeJS()
                                     << QVariant(u"ok"_s) << u"|"_s;
        row("probe: lower case") << u"sprawy, apelacja, wyloguj"_s << WebViewScraper::loggedInProbeJS() << QVariant() << u"|"_s;
        row("probe: hidden text") << u"<div style='display:none'>Sprawy</div>Logowanie"_s
                                  << WebViewScraper::loggedInProbeJS() << QVariant() << u"|"_s;
    }

    // The fill, click, submit and logged-in probe scripts act on the right element, with the events a user would cause.
    void pageScripts()
    {
        QFETCH(QString, body);
        QFETCH(QString, script);
        QFETCH(QVariant, result);
        QFETCH(QString, effects);
        // No form around the controls, so a click leaves the page in place.
        showPage(body);
        QCOMPARE(evaluate(script), result);
        const QString filled = evaluate(u"Array.from(document.querySelectorAll('input, textarea')).filter(function(e) {"
                                        " return e.value; }).map(function(e) { return e.id + '=' + e.value; }).join()"_s)
                                   .toString();
        QCOMPARE(filled + u'|' + evaluate(u"window.events.join()"_s).toString(), effects);
    }

    void invalidURL_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << u"portal/login"_s;
        QTest::newRow("space in host") << u"https://portal wroclaw.pl/login"_s;
    }

    // Text that is no address fails with its own message, and nothing is loaded.
    void invalidURL()
    {
        QFETCH(QString, text);
        showPage();
        try {
            runTask(m_scraper->loadURL(text));
            QFAIL("no error for an address that is not one");
        } catch (const ScraperError &error) {
            QCOMPARE(error.errorDescription(), u"Nieprawidłowy URL: "_s + text);
        }
        QCOMPARE(m_scraper->webView()->url(), QUrl(u"http://fields.test/"_s));
    }

    // The wait ends with the page, which was requested with the fixed user agent. A change after "#"
    // alone ends the wait like a finished load and leaves no time-out behind to stop a later load; a
    // page that keeps loading is given up after 30 polls, without error, and stopped at the time-out.
    void loadURLWaitsForThePage()
    {
        runTask(m_scraper->loadURL(m_portal->url(u"/login?loaded=1"_s).toString()));
        QCOMPARE(evaluate(u"location.search + document.querySelectorAll('input').length"_s).toString(), u"?loaded=12"_s);
        const QJsonArray requests = m_portal->requests();
        QVERIFY(std::any_of(requests.begin(), requests.end(), [](const QJsonValue &request) {
            return request[u"query"].toString() == u"loaded=1"_s && request[u"userAgent"].toString() == WebViewScraper::userAgent;
        }));

        // 30 polls now last 0.3 s, well within the time-out.
        setPauseScaleForTesting(0.02);
        m_scraper->setRequestTimeoutForTesting(std::chrono::milliseconds(1500));
        const auto restore = qScopeGuard([this] {
            setPauseScaleForTesting(0.1);
            m_scraper->setRequestTimeoutForTesting(WebViewScraper::requestTimeout);
        });
        QWebEnginePage *page = m_scraper->webView()->page();
        runTask(m_scraper->loadURL(m_portal->url(u"/login?loaded=1#/sprawy"_s).toString()));
        QSignalSpy finished(page, &QWebEnginePage::loadFinished);
        evaluate(u"location.href = '/slow?seconds=2.5'"_s);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first(), QVariant(true));

        runTask(m_scraper->loadURL(m_portal->url(u"/slow?seconds=30"_s).toString()));
        QVERIFY(page->isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!page->isLoading(), 20000);
    }

    // A cancel ends a running pause at once, and a cancelled token fails even a pause of 0.
    void cancelDuringPause()
    {
        setPauseScaleForTesting(1.0);
        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        QTimer::singleShot(50, token.get(), &CancellationToken::cancel);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(120.0)));
        setPauseScaleForTesting(0.1);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(0.0)));
        m_scraper->setCancellationToken(nullptr);
        runTask(m_scraper->sleep(0.0));
    }

    // A driver destroyed mid-script or mid-pause never wakes up the code that was working on it.
    void destroyedDriverResumesNothing()
    {
        QTemporaryDir storage;
        auto scraper = std::make_unique<WebViewScraper>(m_portal->url(u"/login"_s), storage.path());
        QSignalSpy loaded(scraper->webView()->page(), &QWebEnginePage::loadFinished);
        scraper->webView()->setHtml(u"<p>x</p>"_s);
        QVERIFY(loaded.wait(20000));
        int resumed = 0;
        auto work = [&resumed](WebViewScraper *driver, bool pause) -> QCoro::Task<> {
            try {
                if (pause)
                    co_await driver->sleep(1.0);
                else
                    co_await driver->evaluateJS(u"(function() { var t = Date.now(); while (Date.now() - t < 300); })()"_s);
            } catch (...) {
            }
            ++resumed;
        };
        auto scripting = work(scraper.get(), false);
        auto pausing = work(scraper.get(), true);
        scraper.reset();
        // Well past the end of the pause (0.1 s at this scale) and of the script.
        QTimer later;
        QSignalSpy laterSpy(&later, &QTimer::timeout);
        later.start(500);
        QVERIFY(laterSpy.wait(5000));
        QCOMPARE(resumed, 0);
    }

    // A script whose page process dies before answering fails instead of waiting for ever.
    void scriptOfADeadPageFails()
    {
        showPage();
        std::optional<QString> error;
        auto work = [&error](WebViewScraper *driver) -> QCoro::Task<> {
            try {
                co_await driver->evaluateJS(u"(function() { while (true) {} })()"_s);
            } catch (const JavaScriptError &failure) {
                error = failure.errorDescription();
            }
        };
        auto running = work(m_scraper.get());
        const qint64 pid = m_scraper->webView()->page()->renderProcessPid();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(error.has_value(), 20000);
        QVERIFY(error->startsWith(u"Błąd skryptu strony: "_s));
        showPage(); // a new load brings a new render process for the tests after this one
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestWebViewScraper)
#include "tst_webviewscraper.moc"
