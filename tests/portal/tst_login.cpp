#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "logcapture.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Pauses run at a tenth of their length, except where a test says otherwise.
constexpr double testPauseScale = 0.1;

QStringList attemptLines(const QString &what, int count)
{
    QStringList lines;
    for (int attempt = 1; attempt <= count; ++attempt)
        lines.append(u"Fill %1 attempt %2: false"_s.arg(what).arg(attempt));
    return lines;
}

// What a text input keeps of a value: browsers strip line feeds and carriage returns.
QString asInputKeepsIt(QString text)
{
    return text.remove(u'\n').remove(u'\r');
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<QTemporaryDir> m_storage;

    std::unique_ptr<WebViewScraper> newScraper(const QString &loginPath = u"/login"_s)
    {
        return std::make_unique<WebViewScraper>(m_portal->url(loginPath), m_storage->path());
    }

    // Runs a login and returns the error it ended with; fails the test on an unexpected kind.
    static std::optional<ScraperError> loginError(WebViewScraper &scraper, const QString &login,
                                                  const QString &password)
    {
        try {
            runTask(scraper.login(login, password));
        } catch (const ScraperError &error) {
            return error;
        }
        return std::nullopt;
    }

    QJsonArray requestsSince(qsizetype first) const
    {
        const QJsonArray all = m_portal->requests();
        QJsonArray recent;
        for (qsizetype i = first; i < all.size(); ++i)
            recent.append(all.at(i));
        return recent;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
    }

    void init()
    {
        setPauseScaleForTesting(testPauseScale);
        QVERIFY(m_portal->reset());
        m_storage = std::make_unique<QTemporaryDir>();
        QVERIFY(m_storage->isValid());
    }

    void cleanupTestCase()
    {
        setPauseScaleForTesting(1.0);
        m_portal.reset();
    }

    // Quotes, backslashes, line breaks, U+2028 and emoji reach the inputs exactly as typed.
    void specialCharactersReachTheFields_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::newRow("everything") << u"o'Brien\\x\ny\rz\u2028😀"_s << u"p'\\\\'\n\r\u2028😀ś\""_s;
        QTest::newRow("escape look-alikes") << u"a\\nb\\'c"_s << u"\\r\\\\"_s;
        QTest::newRow("plain") << u"jan.kowalski"_s << u"Hasło123!"_s;
    }

    void specialCharactersReachTheFields()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        auto scraper = newScraper();
        runTask(scraper->login(login, password));

        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), QStringList{login});
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"password"_s), QStringList{password});
        // The form the portal received, and the session it opened.
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"login"_s), QStringList{asInputKeepsIt(login)});
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"password"_s), QStringList{asInputKeepsIt(password)});
        QCOMPARE(m_portal->sessions(), QStringList{asInputKeepsIt(login)});
        QCOMPARE(scraper->sessionLogin(), login);
        // Set on the focused input, then input and change, as a user's typing would report.
        QMap<qint64, QString> loginEvents; // by the page's own order; reports arrive in parallel
        for (const QJsonValue &value : m_portal->recordsOf(QString(), u"login"_s)) {
            const QString kind = value.toObject().value(u"kind").toString();
            if (kind != u"post"_s && kind != u"focus"_s)
                loginEvents.insert(value.toObject().value(u"order").toInteger(), kind);
        }
        QCOMPARE(loginEvents.values(), (QStringList{u"set"_s, u"input"_s, u"change"_s}));
        QVERIFY(m_portal->recordsOf(u"input"_s, u"login"_s).first().toObject().value(u"focused").toBool());
    }

    // Each fill gives up after ten attempts with its warning; the submit and the check still run.
    void fillRetriesGiveUpAndTheCheckDecides()
    {
        QVERIFY(m_portal->configure({{u"loginPage"_s, u"login-nofields.html"_s}}));
        // "/login" followed by a query is still the login page.
        auto scraper = newScraper(u"/login?next=%2Fsprawy"_s);
        LogCapture log(lcScraper());
        runTask(scraper->login(u"anna"_s, u"tajne"_s));

        const QStringList messages = log.messages();
        QStringList expected = {u"Stored session is not known to be this login's: clearing it"_s,
                                u"Loading login page..."_s,
                                u"Current URL: "_s + m_portal->url(u"/login?next=%2Fsprawy"_s).toString()};
        QCOMPARE(messages.mid(0, 3), expected);
        QVERIFY(messages.at(3).startsWith(u"Page body length: "_s));
        QVERIFY(messages.at(3).mid(18).toInt() > 100);
        expected = attemptLines(u"login"_s, 10) + QStringList{u"WARNING: Could not fill login field"_s}
            + attemptLines(u"password"_s, 10) + QStringList{u"WARNING: Could not fill password field"_s}
            + QStringList{u"Click submit: Optional(1)"_s,
                          u"URL after submit: "_s + m_portal->url(u"/"_s).toString()};
        QCOMPARE(messages.mid(4, expected.size()), expected);
        QCOMPARE(log.startingWith(u"verifyLoggedIn attempt 1: result=ok url="_s).size(), 1);
        // The empty form was still submitted, and this portal let it in.
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"login"_s), QStringList{QString()});
        QVERIFY(m_portal->recordsOf(u"set"_s).isEmpty());
    }

    // Without a session after submitting, the check fails after 15 probes.
    void loginFailsAfterFifteenProbes()
    {
        QVERIFY(m_portal->configure({{u"loginPage"_s, u"login-nofields.html"_s}, {u"acceptLogin"_s, false}}));
        auto scraper = newScraper();
        LogCapture log(lcScraper());
        const auto error = loginError(*scraper, u"anna"_s, u"tajne"_s);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind(), ScraperError::Kind::LoginFailed);
        QCOMPARE(error->errorDescription(), u"Logowanie nie powiodło się. Sprawdź dane."_s);

        const QStringList probes = log.startingWith(u"verifyLoggedIn attempt "_s);
        QCOMPARE(probes.size(), 15);
        const QString errorPage = m_portal->url(u"/login?error=1"_s).toString();
        QCOMPARE(probes.first(), u"verifyLoggedIn attempt 1: result=nil url=%1 body=Portal Informacyjny Sądów Powszechnych\n\nLogowanie chwilowo niedostępne.\n\nZaloguj"_s.arg(errorPage));
        QVERIFY(probes.last().startsWith(u"verifyLoggedIn attempt 15: result=nil url="_s + errorPage));
        QCOMPARE(log.startingWith(u"WARNING: Could not fill"_s).size(), 2);
        QVERIFY(m_portal->sessions().isEmpty());
        QVERIFY(scraper->sessionLogin().isEmpty());
    }

    // A session still valid for the same login: the login page sends the browser on, nothing is typed.
    void alreadyLoggedInSkipsFilling()
    {
        auto scraper = newScraper();
        runTask(scraper->login(u"anna"_s, u"tajne"_s));
        const qsizetype recordsBefore = m_portal->records().size();
        const qsizetype requestsBefore = m_portal->requests().size();

        LogCapture log(lcScraper());
        runTask(scraper->login(u"anna"_s, u"inne"_s));
        QCOMPARE(log.startingWith(u"Already logged in (redirected from login page)"_s).size(), 1);
        QVERIFY(log.startingWith(u"Fill "_s).isEmpty());
        QVERIFY(log.startingWith(u"Click submit"_s).isEmpty());
        QCOMPARE(log.startingWith(u"verifyLoggedIn attempt 1: result=ok"_s).size(), 1);

        const QJsonArray requests = requestsSince(requestsBefore);
        QVERIFY(!requests.isEmpty());
        const QJsonObject loginRequest = requests.first().toObject();
        QCOMPARE(loginRequest.value(u"path").toString(), u"/login"_s);
        QCOMPARE(loginRequest.value(u"sessionLogin").toString(), u"anna"_s);
        for (const QJsonValue &request : requests)
            QVERIFY(request.toObject().value(u"method").toString() != u"POST"_s);
        const QJsonArray records = m_portal->records();
        for (qsizetype i = recordsBefore; i < records.size(); ++i)
            QVERIFY(records.at(i).toObject().value(u"kind").toString() != u"set"_s);
        QCOMPARE(m_portal->sessions(), QStringList{u"anna"_s});
    }

    // Another login must not inherit the stored session: cookies and web storage are dropped first.
    void changingTheLoginClearsTheOldSession()
    {
        QVERIFY(m_portal->configure(
            {{u"accounts"_s, QJsonObject{{u"anna"_s, u"a1"_s}, {u"bartek"_s, u"b2"_s}}}}));
        auto scraper = newScraper();
        runTask(scraper->login(u"anna"_s, u"a1"_s));
        // What the portal keeps in web storage for the signed-in account.
        runTask(scraper->evaluateJS(u"localStorage.setItem('portalUser', 'anna'), sessionStorage.setItem('tab', 'anna')"_s));
        const qsizetype requestsBefore = m_portal->requests().size();
        const qsizetype storageReportsBefore = m_portal->recordsOf(u"storage"_s).size();

        runTask(scraper->login(u"bartek"_s, u"b2"_s));
        const QJsonArray requests = requestsSince(requestsBefore);
        const QJsonObject loginRequest = requests.first().toObject();
        QCOMPARE(loginRequest.value(u"path").toString(), u"/login"_s);
        QCOMPARE(loginRequest.value(u"hadSessionCookie").toBool(), false);
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), (QStringList{u"anna"_s, u"bartek"_s}));
        QCOMPARE(requests.last().toObject().value(u"sessionLogin").toString(), u"bartek"_s);

        // The login page saw no web storage left from the earlier account.
        const QJsonArray storageReports = m_portal->recordsOf(u"storage"_s);
        QVERIFY(storageReports.size() > storageReportsBefore);
        const QJsonObject loginPageStorage = storageReports.at(storageReportsBefore).toObject();
        QCOMPARE(loginPageStorage.value(u"page").toString(), u"/login"_s);
        QVERIFY(loginPageStorage.value(u"local").toObject().isEmpty());
        QVERIFY(loginPageStorage.value(u"session").toObject().isEmpty());
        QCOMPARE(scraper->sessionLogin(), u"bartek"_s);

        // Storage clearing is over once logged in: the portal's own storage stays across loads.
        runTask(scraper->evaluateJS(u"localStorage.setItem('portalUser', 'bartek')"_s));
        runTask(scraper->loadURL(m_portal->url(u"/"_s).toString()));
        QCOMPARE(runTask(scraper->evaluateJS(u"localStorage.getItem('portalUser')"_s)).toString(), u"bartek"_s);
    }

    // The new account's password is really checked, whatever session the old one left.
    void changedLoginWithWrongPasswordFails()
    {
        QVERIFY(m_portal->configure(
            {{u"accounts"_s, QJsonObject{{u"anna"_s, u"a1"_s}, {u"bartek"_s, u"b2"_s}}}}));
        auto scraper = newScraper();
        runTask(scraper->login(u"anna"_s, u"a1"_s));
        const auto error = loginError(*scraper, u"bartek"_s, u"wrong"_s);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind(), ScraperError::Kind::LoginFailed);
        QVERIFY(scraper->sessionLogin().isEmpty());
        // Going back to the first account means logging in again, not riding on a stale marker.
        runTask(scraper->login(u"anna"_s, u"a1"_s));
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), (QStringList{u"anna"_s, u"bartek"_s, u"anna"_s}));
    }

    // The session and the login it belongs to survive the driver, as they survive a relaunch.
    void sessionSurvivesANewDriver()
    {
        {
            auto first = newScraper();
            runTask(first->login(u"anna"_s, u"tajne"_s));
        }
        auto second = newScraper();
        QCOMPARE(second->sessionLogin(), u"anna"_s);
        LogCapture log(lcScraper());
        runTask(second->login(u"anna"_s, u"tajne"_s));
        QCOMPARE(log.startingWith(u"Already logged in (redirected from login page)"_s).size(), 1);
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), QStringList{u"anna"_s});
    }

    // The full login with its real pauses: 0.5 (load) + 3 + 0.5 + 0.5 + 4 seconds at least.
    void loginWithRealPauses()
    {
        setPauseScaleForTesting(1.0);
        auto scraper = newScraper();
        QElapsedTimer elapsed;
        elapsed.start();
        runTask(scraper->login(u"anna"_s, u"tajne"_s));
        QVERIFY2(elapsed.elapsed() >= 8400, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(m_portal->sessions(), QStringList{u"anna"_s});
    }

    // A stop during the pause after loading ends the login with the cancellation error, before any fill.
    void cancelDuringLoginPause()
    {
        setPauseScaleForTesting(1.0);
        auto scraper = newScraper();
        auto token = std::make_shared<CancellationToken>();
        scraper->setCancellationToken(token);
        LogCapture log(lcScraper());
        QTimer::singleShot(1500, token.get(), &CancellationToken::cancel);
        QVERIFY_THROWS_EXCEPTION(CancellationError, runTask(scraper->login(u"anna"_s, u"tajne"_s)));
        QVERIFY(log.startingWith(u"Current URL"_s).isEmpty());
        QVERIFY(m_portal->recordsOf(u"set"_s).isEmpty());
        QVERIFY(m_portal->sessions().isEmpty());
    }

    void probeMarkers_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("home") << u"<a>Strona główna</a>"_s << true;
        QTest::newRow("cases anywhere") << u"<p>Twoje Sprawy są tutaj</p>"_s << true;
        QTest::newRow("logout") << u"<button>Wyloguj</button>"_s << true;
        QTest::newRow("lower case") << u"sprawy, apelacja, wyloguj"_s << false;
        QTest::newRow("hidden text") << u"<div style=\"display:none\">Sprawy</div>Logowanie"_s << false;
    }

    void probeMarkers()
    {
        QFETCH(QString, body);
        QFETCH(bool, loggedIn);
        auto scraper = newScraper();
        QSignalSpy loaded(scraper->webView()->page(), &QWebEnginePage::loadFinished);
        scraper->webView()->setHtml(u"<html><body>"_s + body + u"</body></html>"_s, QUrl(u"http://probe.test/"_s));
        QVERIFY(loaded.wait(20000));
        LogCapture log(lcScraper());
        bool failed = false;
        try {
            runTask(scraper->verifyLoggedIn());
        } catch (const ScraperError &error) {
            QCOMPARE(error.kind(), ScraperError::Kind::LoginFailed);
            failed = true;
        }
        QCOMPARE(failed, !loggedIn);
        QCOMPARE(log.startingWith(u"verifyLoggedIn attempt "_s).size(), loggedIn ? 1 : 15);
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestLogin)
#include "tst_login.moc"
