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
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Form fields as the portal's filter panel presents them, plus a target for point clicks.
const QString fieldsPage = uR"(<!DOCTYPE html><html><head><meta charset="utf-8"><style>
  body { margin: 0; }
  #target { position: absolute; left: 100px; top: 200px; width: 50px; height: 40px; }
</style></head><body>
<mat-form-field id="f1"><mat-label>Data wpływu od</mat-label><input id="i1"></mat-form-field>
<mat-form-field id="f2"><mat-label>Data wpływu do</mat-label><textarea id="t2"></textarea></mat-form-field>
<mat-form-field id="f3"><mat-label>Podmiot</mat-label><div>bez pola</div></mat-form-field>
<mat-form-field id="f4"><mat-label>Podmiot zainteresowany</mat-label><input id="i4"></mat-form-field>
<mat-form-field id="f5"><mat-label>Przedmiot</mat-label><textarea id="t5"></textarea><input id="i5"></mat-form-field>
<mat-form-field id="f6"><input id="i6"></mat-form-field>
<button id="target" onclick="window.clicks = (window.clicks || 0) + 1">x</button>
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

    void showFieldsPage()
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(fieldsPage, QUrl(u"http://fields.test/"_s));
        QVERIFY(loaded.wait(20000));
        QVERIFY(loaded.first().first().toBool());
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

    // The hidden window: frameless, nearly transparent, kept below, with a 1400x900 viewport.
    void hiddenWindow()
    {
        QWidget *window = m_scraper->offscreenWindow();
        QVERIFY(window->isWindow());
        QVERIFY(window->isVisible());
        // Stored in 8 bits: 0.01 becomes 2/255.
        QVERIFY2(qAbs(window->windowOpacity() - 0.01) <= 1.0 / 255, qPrintable(QString::number(window->windowOpacity())));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnBottomHint));
        QVERIFY(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QCOMPARE(window->geometry(), QRect(0, 0, 1400, 900));
        QCOMPARE(m_scraper->webView()->window(), window);

        showFieldsPage();
        QCOMPARE(evaluate(u"window.innerWidth"_s).toInt(), 1400);
        QCOMPARE(evaluate(u"window.innerHeight"_s).toInt(), 900);
    }

    // Cookies and storage go to the named, disk-backed profile, not an off-the-record one.
    void persistentProfile()
    {
        QWebEngineProfile *profile = m_scraper->profile();
        QCOMPARE(profile->storageName(), u"velmoria"_s);
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(profile->persistentStoragePath(), m_storage->path());
        QCOMPARE(m_scraper->webView()->page()->profile(), profile);
    }

    void userAgentIsSent()
    {
        QCOMPARE(WebViewScraper::userAgent.size(), 117);
        runTask(m_scraper->loadURL(m_portal->url(u"/login?ua=1"_s).toString()));
        QCOMPARE(evaluate(u"navigator.userAgent"_s).toString(), WebViewScraper::userAgent);
        const QJsonArray requests = m_portal->requests();
        QJsonObject loginRequest;
        for (const QJsonValue &request : requests) {
            if (request.toObject().value(u"query").toString() == u"ua=1"_s)
                loginRequest = request.toObject();
        }
        QCOMPARE(loginRequest.value(u"userAgent").toString(), WebViewScraper::userAgent);
    }

    void scriptValues_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("text") << u"'Sąd ' + 'Rejonowy'"_s << QVariant(u"Sąd Rejonowy"_s);
        QTest::newRow("number") << u"6 * 7"_s << QVariant(42.0);
        QTest::newRow("fraction") << u"1 / 4"_s << QVariant(0.25);
        QTest::newRow("boolean") << u"1 < 2"_s << QVariant(true);
        QTest::newRow("array") << u"[1, 'a', false]"_s << QVariant(QVariantList{1.0, u"a"_s, false});
        QTest::newRow("object") << u"({ current: 2, label: 'x' })"_s
                                << QVariant(QVariantMap{{u"current"_s, 2.0}, {u"label"_s, u"x"_s}});
        QTest::newRow("function result") << u"(function() { return 'done'; })()"_s << QVariant(u"done"_s);
        QTest::newRow("trailing semicolon") << u"  3 + 4;  "_s << QVariant(7.0);
        QTest::newRow("trailing line comment") << u"5 // five"_s << QVariant(5.0);
        QTest::newRow("null") << u"null"_s << QVariant();
        QTest::newRow("undefined") << u"undefined"_s << QVariant();
        QTest::newRow("no return") << u"(function() {})()"_s << QVariant();
        QTest::newRow("missing element") << u"document.querySelector('#none')"_s << QVariant();
    }

    void scriptValues()
    {
        QFETCH(QString, script);
        QFETCH(QVariant, expected);
        showFieldsPage();
        const QVariant value = evaluate(script);
        QCOMPARE(value.isValid(), expected.isValid());
        if (!expected.isValid())
            return;
        if (expected.typeId() == QMetaType::Double) {
            QVERIFY2(value.canConvert<double>() && value.typeId() != QMetaType::QString, value.typeName());
            QCOMPARE(value.toDouble(), expected.toDouble());
        } else {
            QCOMPARE(value, expected);
        }
    }

    void throwingScriptFails_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("throw") << u"(function() { throw new Error('boom'); })()"_s << u"Error: boom"_s;
        QTest::newRow("type error") << u"document.querySelector('#none').innerText"_s << u"TypeError"_s;
        QTest::newRow("reference error") << u"notDefinedAnywhere + 1"_s << u"ReferenceError"_s;
        QTest::newRow("thrown text") << u"(function() { throw 'plain'; })()"_s << u"plain"_s;
        QTest::newRow("syntax error") << u"(function( {"_s << QString();
    }

    void throwingScriptFails()
    {
        QFETCH(QString, script);
        QFETCH(QString, messagePart);
        showFieldsPage();
        try {
            evaluate(script);
            QFAIL("the script's error was not reported");
        } catch (const JavaScriptError &error) {
            QVERIFY2(error.message().contains(messagePart), qPrintable(error.message()));
            QVERIFY(!error.message().isEmpty());
            QCOMPARE(error.errorDescription(), u"Błąd skryptu strony: "_s + error.message());
        }
        // The page stays usable.
        QCOMPARE(evaluate(u"'still here'"_s).toString(), u"still here"_s);
    }

    void escapeJS_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("plain") << u"Kowalski"_s << u"Kowalski"_s;
        QTest::newRow("backslash then quote") << u"\\'"_s << u"\\\\\\'"_s;
        QTest::newRow("quote") << u"O'Neil"_s << u"O\\'Neil"_s;
        QTest::newRow("line feed") << u"a\nb"_s << u"a\\nb"_s;
        QTest::newRow("carriage return") << u"a\r\nb"_s << u"a\\r\\nb"_s;
        QTest::newRow("escaped n stays distinct") << u"\\n"_s << u"\\\\n"_s;
        QTest::newRow("tab, double quote, letters unchanged") << u"\t\"Łódź\""_s << u"\t\"Łódź\""_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void escapeJS()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(WebViewScraper::escapeJS(text), escaped);
    }

    // Whatever the text, a quoted escaped literal reads back as the text in the engine.
    void escapedTextRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote and backslash") << u"it's C:\\dir\\'x'"_s;
        QTest::newRow("line breaks") << u"one\ntwo\rthree\r\n"_s;
        QTest::newRow("line separator and emoji") << u"a\u2028b\u2029c 😀"_s;
        QTest::newRow("double quote and tab") << u"\"\t\""_s;
        QTest::newRow("closing script tag") << u"</script><b>"_s;
        QTest::newRow("trailing backslash") << u"end\\"_s;
    }

    void escapedTextRoundTrips()
    {
        QFETCH(QString, text);
        showFieldsPage();
        QCOMPARE(evaluate(u"'"_s + WebViewScraper::escapeJS(text) + u"'"_s).toString(), text);
    }

    void fillField_data()
    {
        QTest::addColumn<bool>("inputOnly");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QString>("filledId");
        QTest::addColumn<QString>("events");
        QTest::newRow("first containing label") << false << u"Data wpływu"_s << true << u"i1"_s
                                                << u"input:i1,change:i1"_s;
        QTest::newRow("text area") << false << u"Data wpływu do"_s << true << u"t2"_s
                                   << u"input:t2,change:t2"_s;
        QTest::newRow("field without control skipped") << false << u"Podmiot"_s << true << u"i4"_s
                                                       << u"input:i4,change:i4"_s;
        QTest::newRow("case-sensitive label") << false << u"podmiot"_s << false << QString() << QString();
        QTest::newRow("no such label") << false << u"Sygnatura"_s << false << QString() << QString();
        QTest::newRow("input: text area skipped") << true << u"Data wpływu do"_s << false << QString()
                                                  << QString();
        QTest::newRow("input: first input of field, blur last")
            << true << u"Przedmiot"_s << true << u"i5"_s << u"input:i5,change:i5,blur:i5"_s;
    }

    void fillField()
    {
        QFETCH(bool, inputOnly);
        QFETCH(QString, label);
        QFETCH(bool, filled);
        QFETCH(QString, filledId);
        QFETCH(QString, events);
        showFieldsPage();
        const QString value = u"Nowak 'Jan' \\ \"x\""_s;
        const QString script
            = inputOnly ? WebViewScraper::fillInputJS(label, value) : WebViewScraper::fillFieldJS(label, value);
        QCOMPARE(evaluate(script), QVariant(filled));

        const QVariantMap values = evaluate(uR"((function() {
            var out = {};
            document.querySelectorAll('input, textarea').forEach(function(e) { out[e.id] = e.value; });
            return out; })())"_s)
                                       .toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(it.value().toString(), it.key() == filledId ? value : QString());
        QCOMPARE(evaluate(u"window.events.join(',')"_s).toString(), events);
        // Focus events need a focused window; the focused element does not.
        QCOMPARE(evaluate(u"document.activeElement.id"_s).toString(), filled ? filledId : QString());
    }

    void fillFieldLabelIsEscaped()
    {
        showFieldsPage();
        // A label with a quote must not break out of the script's string.
        QCOMPARE(evaluate(WebViewScraper::fillFieldJS(u"x'); window.hacked = true; ('"_s, u"v"_s)), QVariant(false));
        QVERIFY(!evaluate(u"window.hacked"_s).isValid());
    }

    void clickAtPoint_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<int>("targetClicks");
        QTest::newRow("on target") << 110 << 210 << true << 1;
        QTest::newRow("target's last pixel") << 149 << 239 << true << 1;
        QTest::newRow("beside target") << 150 << 210 << true << 0;
        QTest::newRow("outside viewport") << 1400 << 100 << false << 0;
        QTest::newRow("far outside") << 5000 << 5000 << false << 0;
        QTest::newRow("negative") << -10 << -20 << false << 0;
    }

    void clickAtPoint()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, clicked);
        QFETCH(int, targetClicks);
        showFieldsPage();
        const QString script = WebViewScraper::clickAtPointJS(x, y);
        QVERIFY(script.contains(QString::number(x) + u", "_s + QString::number(y)));
        QCOMPARE(evaluate(script), QVariant(clicked));
        QCOMPARE(evaluate(u"window.clicks || 0"_s).toInt(), targetClicks);
    }

    // The login and password selectors are tried in order; the first that matches anything wins.
    void credentialSelectors_data()
    {
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("filledId");
        QTest::newRow("form control before name") << false
            << u"<input name='login' id='a'><input formcontrolname='login' id='b'>"_s << u"b"_s;
        QTest::newRow("username before first text input") << false
            << u"<input type='text' id='a'><input name='username' id='b'>"_s << u"b"_s;
        QTest::newRow("first text input before placeholder") << false
            << u"<input type='email' placeholder='Login' id='a'><input type='text' id='b'><input type='text' id='c'>"_s
            << u"b"_s;
        QTest::newRow("placeholder without text inputs") << false
            << u"<input type='email' id='login'><input type='email' placeholder='Podaj login' id='b'>"_s << u"b"_s;
        QTest::newRow("id last") << false << u"<input type='email' id='login'>"_s << u"login"_s;
        QTest::newRow("no login field") << false << u"<input type='password' id='a'>"_s << QString();
        QTest::newRow("password form control first") << true
            << u"<input type='password' id='a'><input formcontrolname='password' type='password' id='b'>"_s << u"b"_s;
        QTest::newRow("password by type") << true << u"<input type='text' id='a'><input type='password' id='b'>"_s
                                          << u"b"_s;
        QTest::newRow("password by id") << true << u"<input type='text' id='password'>"_s << u"password"_s;
        QTest::newRow("no password field") << true << u"<input type='text' id='a'>"_s << QString();
    }

    void credentialSelectors()
    {
        QFETCH(bool, password);
        QFETCH(QString, inputs);
        QFETCH(QString, filledId);
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(u"<html><body>"_s + inputs + u"</body></html>"_s, QUrl(u"http://form.test/"_s));
        QVERIFY(loaded.wait(20000));
        const QString value = u"x'\\y"_s;
        const QString script = password ? WebViewScraper::passwordFillJS(value) : WebViewScraper::loginFillJS(value);
        QCOMPARE(evaluate(script), QVariant(!filledId.isEmpty()));
        const QVariantMap values = evaluate(uR"((function() {
            var out = {};
            document.querySelectorAll('input').forEach(function(e) { out[e.id] = e.value; });
            return out; })())"_s)
                                       .toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(it.value().toString(), it.key() == filledId ? value : QString());
    }

    void submitControls_data()
    {
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("clickedId");
        QTest::newRow("submit button first") << u"<button id='a'>Zaloguj</button><button type='submit' id='b'>Wyślij</button>"_s
                                             << u"b"_s;
        QTest::newRow("submit input") << u"<button id='a'>Anuluj</button><input type='submit' id='b' value='OK'>"_s
                                      << u"b"_s;
        QTest::newRow("button by text") << u"<button type='button' id='a'>Pomoc</button><button type='button' id='b'>  ZALOGUJ SIĘ </button>"_s
                                        << u"b"_s;
        QTest::newRow("nothing to click") << u"<button type='button' id='a'>Dalej</button>"_s << QString();
    }

    void submitControls()
    {
        QFETCH(QString, controls);
        QFETCH(QString, clickedId);
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        // No form around the controls, so a click leaves the page in place.
        m_scraper->webView()->setHtml(
            u"<html><body>"_s + controls
                + u"<script>window.clicked = []; document.addEventListener('click', function(e) { window.clicked.push(e.target.id); });</script></body></html>"_s,
            QUrl(u"http://form.test/"_s));
        QVERIFY(loaded.wait(20000));
        QCOMPARE(evaluate(WebViewScraper::submitJS()), QVariant(!clickedId.isEmpty()));
        QCOMPARE(evaluate(u"window.clicked.join(',')"_s).toString(), clickedId);
    }

    void invalidURL_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("words") << u"not an address"_s;
        QTest::newRow("relative") << u"portal/login"_s;
        QTest::newRow("space in host") << u"https://portal wroclaw.pl/login"_s;
        QTest::newRow("bad percent") << u"https://portal.pl/%zz"_s;
    }

    void invalidURL()
    {
        QFETCH(QString, text);
        showFieldsPage();
        try {
            runTask(m_scraper->loadURL(text));
            QFAIL("no error for an address that is not one");
        } catch (const ScraperError &error) {
            QCOMPARE(error.kind(), ScraperError::Kind::InvalidURL);
            QCOMPARE(error.payload(), text);
            QCOMPARE(error.errorDescription(), u"Nieprawidłowy URL: "_s + text);
        }
        // Nothing was loaded.
        QCOMPARE(m_scraper->webView()->url(), QUrl(u"http://fields.test/"_s));
    }

    void loadURLWaitsForThePage()
    {
        runTask(m_scraper->loadURL(m_portal->url(u"/login?loaded=1"_s).toString()));
        QVERIFY(!m_scraper->webView()->page()->isLoading());
        QCOMPARE(evaluate(u"location.search"_s).toString(), u"?loaded=1"_s);
        QCOMPARE(evaluate(u"document.querySelectorAll('input').length"_s).toInt(), 2);
    }

    // A page that keeps loading is given up after 30 polls, without error.
    void loadURLGivesUpOnSlowPage()
    {
        // 30 polls at this scale last 1.5 s; the page takes far longer.
        runTask(m_scraper->loadURL(m_portal->url(u"/slow?seconds=30"_s).toString()));
        QVERIFY(m_scraper->webView()->page()->isLoading());
        m_scraper->webView()->stop();
        QTRY_VERIFY(!m_scraper->webView()->page()->isLoading());
    }

    void cancelDuringPauseThrows()
    {
        setPauseScaleForTesting(1.0);
        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        QTimer::singleShot(50, token.get(), &CancellationToken::cancel);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(120.0)));
        setPauseScaleForTesting(0.1);
    }

    void cancelledZeroPauseThrows()
    {
        auto token = std::make_shared<CancellationToken>();
        token->cancel();
        m_scraper->setCancellationToken(token);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(0.0)));
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->waitForPageLoad()));
        // A cancelled load has still been asked for: the page starts, the wait does not.
        QVERIFY_THROWS_EXCEPTION(CancellationError,
                                 runTask(m_scraper->loadURL(m_portal->url(u"/login?cancelled=1"_s).toString())));
    }

    void pauseWithoutTokenEnds()
    {
        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        m_scraper->setCancellationToken(nullptr);
        token->cancel();
        runTask(m_scraper->sleep(0.01));
        QVERIFY(m_scraper->cancellationToken() == nullptr);
    }

    void describeScriptValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QVariant() << u"nil"_s;
        QTest::newRow("true") << QVariant(true) << u"Optional(1)"_s;
        QTest::newRow("false") << QVariant(false) << u"Optional(0)"_s;
        QTest::newRow("whole number") << QVariant(3.0) << u"Optional(3)"_s;
        QTest::newRow("fraction") << QVariant(2.5) << u"Optional(2.5)"_s;
        QTest::newRow("text") << QVariant(u"ok"_s) << u"Optional(\"ok\")"_s;
    }

    void describeScriptValue()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(WebViewScraper::describeScriptValue(value), text);
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestWebViewScraper)
#include "tst_webviewscraper.moc"
