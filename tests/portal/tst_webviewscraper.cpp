#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Form fields as the portal's filter panel presents them, plus a target for point clicks.
const QString fieldsPage = uR"(<!DOCTYPE html><html><head><meta charset="utf-8"></head><body style="margin: 0">
<mat-form-field><mat-label>Data wpływu od</mat-label><input id="i1"></mat-form-field>
<mat-form-field><mat-label>Data wpływu do</mat-label><textarea id="t2"></textarea></mat-form-field>
<mat-form-field><mat-label>Podmiot</mat-label><div>bez pola</div></mat-form-field>
<mat-form-field><mat-label>Podmiot zainteresowany</mat-label><input id="i4"></mat-form-field>
<mat-form-field><mat-label>Przedmiot</mat-label><textarea id="t5"></textarea><input id="i5"></mat-form-field>
<button id="target" style="position: absolute; left: 100px; top: 200px; width: 50px; height: 40px"
  onclick="window.clicks = (window.clicks || 0) + 1">x</button>
<script>
  window.events = [];
  ['input', 'change', 'blur'].forEach(function(type) {
    document.addEventListener(type, function(e) { window.events.push(type + ':' + e.target.id); }, true);
  });
</script>
</body></html>)"_s;

} // namespace

class TestWebViewScraper : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_storage;
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<WebViewScraper> m_scraper;

    void showPage(const QString &html)
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(html, QUrl(u"http://fields.test/"_s));
        QVERIFY(loaded.wait(20000));
    }

    QVariant evaluate(const QString &script) { return runTask(m_scraper->evaluateJS(script)); }

    // Every input's and text area's id with its value, of those that hold one.
    QString filledFields()
    {
        return evaluate(u"Array.from(document.querySelectorAll('input, textarea'))"
                        ".filter(function(e) { return e.value; }).map(function(e) { return e.id + '=' + e.value; }).join()"_s)
            .toString();
    }

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
        showPage(fieldsPage);
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
        showPage(fieldsPage);
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
        showPage(fieldsPage);
        QCOMPARE(evaluate(u"'"_s + escaped + u"'"_s).toString(), text);
        QVERIFY(!evaluate(u"window.hacked"_s).isValid());
    }

    void fillField_data()
    {
        QTest::addColumn<bool>("inputOnly");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("filledId");
        QTest::addColumn<QString>("events");
        QTest::newRow("first containing label") << false << u"Data wpływu"_s << u"i1"_s << u"input:i1,change:i1"_s;
        QTest::newRow("field without control skipped") << false << u"Podmiot"_s << u"i4"_s << u"input:i4,change:i4"_s;
        QTest::newRow("text area first") << false << u"Przedmiot"_s << u"t5"_s << u"input:t5,change:t5"_s;
        QTest::newRow("input: text area skipped") << true << u"Data wpływu do"_s << QString() << QString();
        QTest::newRow("input: first input, blur last") << true << u"Przedmiot"_s << u"i5"_s
                                                       << u"input:i5,change:i5,blur:i5"_s;
    }

    // The form-field fills pick the first labelled field with a control of their kind.
    void fillField()
    {
        QFETCH(bool, inputOnly);
        QFETCH(QString, label);
        QFETCH(QString, filledId);
        QFETCH(QString, events);
        showPage(fieldsPage);
        const QString value = u"Nowak 'Jan' \\ \"x\""_s;
        const QString script = inputOnly ? WebViewScraper::fillInputJS(label, value) : WebViewScraper::fillFieldJS(label, value);
        QCOMPARE(evaluate(script), QVariant(!filledId.isEmpty()));
        QCOMPARE(filledFields(), filledId.isEmpty() ? QString() : filledId + u'=' + value);
        QCOMPARE(evaluate(u"window.events.join(',')"_s).toString(), events);
        QCOMPARE(evaluate(u"document.activeElement.id"_s).toString(), filledId);
    }

    void clickAtPoint_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<int>("targetClicks");
        QTest::newRow("target's last pixel") << 149 << 239 << true << 1;
        QTest::newRow("beside target") << 150 << 210 << true << 0;
        QTest::newRow("outside the 1400-pixel viewport") << 1400 << 100 << false << 0;
        QTest::newRow("negative") << -10 << -20 << false << 0;
    }

    // The element at a viewport point is clicked; the view is 1400 pixels wide.
    void clickAtPoint()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, clicked);
        QFETCH(int, targetClicks);
        showPage(fieldsPage);
        QCOMPARE(evaluate(WebViewScraper::clickAtPointJS(x, y)), QVariant(clicked));
        QCOMPARE(evaluate(u"window.clicks || 0"_s).toInt(), targetClicks);
    }

    void credentialSelectors_data()
    {
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("filledId");
        QTest::newRow("form control before name") << false
            << u"<input name='login' id='a'><input formcontrolname='login' id='b'>"_s << u"b"_s;
        QTest::newRow("first text input before placeholder") << false
            << u"<input type='email' placeholder='Login' id='a'><input type='text' id='b'><input type='text' id='c'>"_s
            << u"b"_s;
        QTest::newRow("placeholder before id") << false
            << u"<input type='email' id='login'><input type='email' placeholder='Podaj login' id='b'>"_s << u"b"_s;
        QTest::newRow("no login field") << false << u"<input type='password' id='a'>"_s << QString();
        QTest::newRow("password by id") << true << u"<input type='text' id='password'>"_s << u"password"_s;
    }

    // The login and password selectors are tried in order; the first that matches anything wins.
    void credentialSelectors()
    {
        QFETCH(bool, password);
        QFETCH(QString, inputs);
        QFETCH(QString, filledId);
        showPage(u"<html><body>"_s + inputs + u"</body></html>"_s);
        const QString value = u"x'\\y"_s;
        QCOMPARE(evaluate(password ? WebViewScraper::passwordFillJS(value) : WebViewScraper::loginFillJS(value)),
                 QVariant(!filledId.isEmpty()));
        QCOMPARE(filledFields(), filledId.isEmpty() ? QString() : filledId + u'=' + value);
    }

    void submitControls_data()
    {
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("clickedId");
        QTest::newRow("submit button first")
            << u"<button id='a'>Zaloguj</button><button type='submit' id='b'>Wyślij</button>"_s << u"b"_s;
        QTest::newRow("button by text")
            << u"<button type='button' id='a'>Pomoc</button><button type='button' id='b'>  ZALOGUJ SIĘ </button>"_s
            << u"b"_s;
        QTest::newRow("nothing to click") << u"<button type='button' id='a'>Dalej</button>"_s << QString();
    }

    // A submit control comes first, else a button whose words say log in.
    void submitControls()
    {
        QFETCH(QString, controls);
        QFETCH(QString, clickedId);
        // No form around the controls, so a click leaves the page in place.
        showPage(u"<html><body>"_s + controls
                 + u"<script>window.clicked = []; document.addEventListener('click', function(e) {"
                   " window.clicked.push(e.target.id); });</script></body></html>"_s);
        QCOMPARE(evaluate(WebViewScraper::submitJS()), QVariant(!clickedId.isEmpty()));
        QCOMPARE(evaluate(u"window.clicked.join(',')"_s).toString(), clickedId);
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
        showPage(fieldsPage);
        try {
            runTask(m_scraper->loadURL(text));
            QFAIL("no error for an address that is not one");
        } catch (const ScraperError &error) {
            QCOMPARE(error.errorDescription(), u"Nieprawidłowy URL: "_s + text);
        }
        QCOMPARE(m_scraper->webView()->url(), QUrl(u"http://fields.test/"_s));
    }

    // The wait ends with the page, which was requested with the fixed user agent; a page that keeps
    // loading is given up after 30 polls, without error.
    void loadURLWaitsForThePage()
    {
        runTask(m_scraper->loadURL(m_portal->url(u"/login?loaded=1"_s).toString()));
        QCOMPARE(evaluate(u"location.search + document.querySelectorAll('input').length"_s).toString(), u"?loaded=12"_s);
        const QJsonArray requests = m_portal->requests();
        QVERIFY(std::any_of(requests.begin(), requests.end(), [](const QJsonValue &request) {
            return request[u"query"].toString() == u"loaded=1"_s && request[u"userAgent"].toString() == WebViewScraper::userAgent;
        }));

        // 30 polls at this scale last 1.5 s; the page takes far longer.
        runTask(m_scraper->loadURL(m_portal->url(u"/slow?seconds=30"_s).toString()));
        QVERIFY(m_scraper->webView()->page()->isLoading());
        m_scraper->webView()->stop();
        QTRY_VERIFY(!m_scraper->webView()->page()->isLoading());
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
};

VELMORIA_WEBENGINE_TEST_MAIN(TestWebViewScraper)
#include "tst_webviewscraper.moc"
