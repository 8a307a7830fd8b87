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

#include <csignal>

using namespace Qt::StringLiterals;

class TestWebViewScraper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_storage;
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<WebViewScraper> m_scraper;

    QVariant evaluate(const QString &script) { return runTask(m_scraper->evaluateJS(script)); }

private Q_SLOTS:
    void initTestCase()
    {
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
        m_scraper = std::make_unique<WebViewScraper>(m_portal->url(u"/login"_s), m_storage.path());
        setPauseScaleForTesting(0.1);
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(u"<p>x</p>"_s);
        QVERIFY(loaded.wait(20000));
    }

    void cleanupTestCase()
    {
        m_scraper.reset();
        setPauseScaleForTesting(1.0);
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("error"); // a part of the error's message; null: no error
        QTest::newRow("text") << u"'Sąd ' + 'Rejonowy'"_s << QVariant(u"Sąd Rejonowy"_s) << QString();
        QTest::newRow("object like an error")
            << u"({ ok: false, error: [0.25, true] })"_s
            << QVariant(QVariantMap { { u"ok"_s, false }, { u"error"_s, QVariantList { 0.25, true } } })
            << QString();
        QTest::newRow("trailing semicolon") << u"  'x';  "_s << QVariant(u"x"_s) << QString();
        QTest::newRow("trailing comment") << u"'x' // comment"_s << QVariant(u"x"_s) << QString();
        QTest::newRow("null") << u"null"_s << QVariant() << QString();
        QTest::newRow("undefined") << u"(function() {})()"_s << QVariant() << QString();
        QTest::newRow("throw") << u"(function() { throw new Error('boom'); })()"_s << QVariant()
                               << u"Error: boom"_s;
        QTest::newRow("syntax error") << u"(function( {"_s << QVariant() << u""_s;
        // Escaped and quoted, a text reads back as itself.
        const auto escaped = [](const char *name, const QString &text) {
            QTest::newRow(name) << u"'"_s + WebViewScraper::escapeJS(text) + u"'"_s << QVariant(text)
                                << QString();
        };
        escaped("escaped backslash then quote", u"\\'"_s);
        escaped("escaped line breaks, others unchanged", u"a\r\nb\t\"Łódź\"\u2028😀"_s);
        escaped("escaped way out of the string", u"x'); window.hacked = true; ('"_s);
    }

    // Script values come back as they are, null and undefined as no value; a script that throws or
    // does not compile fails with the engine's message.
    void scripts()
    {
        QFETCH(QString, script);
        QFETCH(QVariant, value);
        QFETCH(QString, error);
        QString message;
        try {
            QCOMPARE(evaluate(script), value);
        } catch (const JavaScriptError &failure) {
            message = failure.message();
        }
        QVERIFY2(error.isNull() ? message.isNull() : !message.isEmpty() && message.contains(error),
            qPrintable(message));
    }

    // Text that is no address fails with its own message.
    void invalidURL()
    {
        try {
            runTask(m_scraper->loadURL(u"portal/login"_s));
            QFAIL("no error for an address that is not one");
        } catch (const ScraperError &error) {
            QCOMPARE(error.errorDescription(), u"Nieprawidłowy URL: portal/login"_s);
        }
    }

    // The wait ends with the page, which was requested with the fixed user agent. A change after "#"
    // alone ends the wait like a finished load and leaves no time-out behind to stop a later load; a
    // page that keeps loading is given up after 30 polls, without error, and stopped at the time-out.
    void loadURLWaitsForThePage()
    {
        runTask(m_scraper->loadURL(m_portal->url(u"/login?loaded=1"_s).toString()));
        QCOMPARE(evaluate(u"location.search + document.querySelectorAll('input').length"_s).toString(),
            u"?loaded=12"_s);
        const QJsonArray requests = m_portal->requests();
        QVERIFY(std::any_of(requests.begin(), requests.end(), [](const QJsonValue &request) {
            return request[u"query"] == u"loaded=1"_s && request[u"userAgent"] == WebViewScraper::userAgent;
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
        auto token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(token);
        const auto restore = qScopeGuard([this] { m_scraper->setCancellationToken(nullptr); });
        QTimer::singleShot(50, token.get(), &CancellationToken::cancel);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(1200.0)));
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(m_scraper->sleep(0.0)));
    }

    // A driver destroyed mid-script or mid-pause never wakes up the code that was working on it.
    void destroyedDriverResumesNothing()
    {
        auto scraper
            = std::make_unique<WebViewScraper>(m_portal->url(u"/login"_s), m_storage.path() + u"/2"_s);
        QSignalSpy loaded(scraper->webView()->page(), &QWebEnginePage::loadFinished);
        scraper->webView()->setHtml(u"<p>x</p>"_s);
        QVERIFY(loaded.wait(20000));
        int resumed = 0;
        auto work = [&resumed](WebViewScraper *driver, bool pause) -> QCoro::Task<> {
            try {
                if (pause)
                    co_await driver->sleep(1.0);
                else
                    co_await driver->evaluateJS(
                        u"(function() { var t = Date.now(); while (Date.now() - t < 300); })()"_s);
            } catch (...) {
            }
            ++resumed;
        };
        auto scripting = work(scraper.get(), false);
        auto pausing = work(scraper.get(), true);
        scraper.reset();
        runTask(m_scraper->sleep(5.0)); // 0.5 s: well past the end of the other pause and of the script
        QCOMPARE(resumed, 0);
    }

    // A script whose page process dies before answering fails instead of waiting for ever.
    void scriptOfADeadPageFails()
    {
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
        QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(error.has_value(), 20000);
        QVERIFY(error->startsWith(u"Błąd skryptu strony: "_s));
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestWebViewScraper)
#include "tst_webviewscraper.moc"
