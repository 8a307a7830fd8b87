#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "logcapture.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

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

    // Runs a login and returns the error it ended with, if any.
    static std::optional<ScraperError> loginError(WebViewScraper &scraper, const QString &login, const QString &password)
    {
        try {
            runTask(scraper.login(login, password));
        } catch (const ScraperError &error) {
            return error;
        }
        return std::nullopt;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
    }

    void init()
    {
        setPauseScaleForTesting(0.1);
        QVERIFY(m_portal->reset());
        m_storage = std::make_unique<QTemporaryDir>();
        QVERIFY(m_storage->isValid());
    }

    void cleanupTestCase()
    {
        setPauseScaleForTesting(1.0);
        m_portal.reset();
    }

    // Quotes, backslashes, escape look-alikes, line breaks, U+2028 and emoji reach the inputs exactly
    // as typed, set on the focused input and followed by input and change, as typing would report.
    void specialCharactersReachTheFields()
    {
        const QString login = u"o'Brien\\x\ny\rz\u2028😀 a\\nb\\'c"_s;
        const QString password = u"p'\\\\'\n\r\u2028😀ś\" \\r"_s;
        auto scraper = newScraper();
        runTask(scraper->login(login, password));

        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), QStringList{login});
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"password"_s), QStringList{password});
        // A text input drops line breaks from what the form posts.
        const QString postedLogin = QString(login).remove(u'\n').remove(u'\r');
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"login"_s), QStringList{postedLogin});
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"password"_s), QStringList{QString(password).remove(u'\n').remove(u'\r')});
        QCOMPARE(m_portal->sessions(), QStringList{postedLogin});
        QCOMPARE(scraper->sessionLogin(), login);
        QMap<qint64, QString> events; // by the page's own order; reports arrive in parallel
        for (const QJsonValue &value : m_portal->recordsOf(QString(), u"login"_s)) {
            if (value[u"kind"].toString() != u"post"_s)
                events.insert(value[u"order"].toInteger(), value[u"kind"].toString());
        }
        QCOMPARE(events.values(), (QStringList{u"focus"_s, u"set"_s, u"input"_s, u"change"_s}));
    }

    void loginPageWithoutFields_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("portal lets the empty form in") << true;
        QTest::newRow("portal refuses it") << false;
    }

    // Each fill gives up after ten attempts with its warning; the submit still runs and the logged-in
    // check decides: at once, or with loginFailed after 15 probes.
    void loginPageWithoutFields()
    {
        QFETCH(bool, accepted);
        QVERIFY(m_portal->configure({{u"loginFields"_s, false}, {u"acceptLogin"_s, accepted}}));
        // "/login" followed by a query is still the login page.
        const QString loginPage = m_portal->url(u"/login?next=%2Fsprawy"_s).toString();
        auto scraper = newScraper(u"/login?next=%2Fsprawy"_s);
        LogCapture log(lcScraper());
        const auto error = loginError(*scraper, u"anna"_s, u"tajne"_s);
        QCOMPARE(error.has_value(), !accepted);
        if (error)
            QCOMPARE(error->errorDescription(), u"Logowanie nie powiodło się. Sprawdź dane."_s);

        const QString afterSubmit = m_portal->url(accepted ? u"/"_s : u"/login?error=1"_s).toString();
        QStringList expected = {u"Stored session is not known to be this login's: clearing it"_s,
                                u"Loading login page..."_s, u"Current URL: "_s + loginPage};
        for (const QString &field : {u"login"_s, u"password"_s}) {
            for (int attempt = 1; attempt <= 10; ++attempt)
                expected.append(u"Fill %1 attempt %2: false"_s.arg(field).arg(attempt));
            expected.append(u"WARNING: Could not fill %1 field"_s.arg(field));
        }
        expected += {u"Click submit: Optional(1)"_s, u"URL after submit: "_s + afterSubmit};
        QStringList messages = log.messages();
        QVERIFY2(messages.value(3).startsWith(u"Page body length: "_s), qPrintable(messages.value(3)));
        messages.removeAt(3);
        QCOMPARE(messages.mid(0, expected.size()), expected);
        const QStringList probes = messages.mid(expected.size());
        QCOMPARE(probes.size(), accepted ? 1 : 15);
        for (int attempt = 1; attempt <= probes.size(); ++attempt) {
            QVERIFY2(probes[attempt - 1].startsWith(u"verifyLoggedIn attempt %1: result=%2 url=%3 body=Portal Informacyjny"_s
                                                        .arg(attempt).arg(accepted ? u"ok"_s : u"nil"_s, afterSubmit)),
                     qPrintable(probes[attempt - 1]));
        }
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"login"_s), QStringList{QString()});
        QVERIFY(m_portal->recordsOf(u"set"_s).isEmpty());
        QCOMPARE(scraper->sessionLogin(), accepted ? u"anna"_s : QString());
    }

    // A session kept from an earlier launch for the same login: the login page sends the browser on,
    // nothing is typed or submitted, and the probe alone decides.
    void alreadyLoggedInSkipsFilling()
    {
        runTask(newScraper()->login(u"anna"_s, u"tajne"_s));
        auto scraper = newScraper();
        LogCapture log(lcScraper());
        runTask(scraper->login(u"anna"_s, u"inne"_s));
        const QStringList messages = log.messages();
        QCOMPARE(messages.mid(0, 3), (QStringList{u"Loading login page..."_s, u"Current URL: "_s + m_portal->url(u"/"_s).toString(),
                                                  u"Already logged in (redirected from login page)"_s}));
        QCOMPARE(messages.size(), 4);
        QVERIFY2(messages[3].startsWith(u"verifyLoggedIn attempt 1: result=ok url="_s), qPrintable(messages[3]));
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), QStringList{u"anna"_s});
        QCOMPARE(m_portal->valuesOf(u"post"_s, u"login"_s), QStringList{u"anna"_s});
    }

    // Another login must not inherit the stored session: cookies and web storage are dropped first,
    // so the new account's password is really checked.
    void changingTheLoginClearsTheOldSession()
    {
        QVERIFY(m_portal->configure({{u"accounts"_s, QJsonObject{{u"anna"_s, u"a1"_s}, {u"bartek"_s, u"b2"_s}}}}));
        auto scraper = newScraper();
        runTask(scraper->login(u"anna"_s, u"a1"_s)); // the portal's page keeps the user in web storage
        const qsizetype requestsBefore = m_portal->requests().size();
        const qsizetype storageReportsBefore = m_portal->recordsOf(u"storage"_s).size();

        const auto error = loginError(*scraper, u"bartek"_s, u"wrong"_s);
        QVERIFY(error.has_value());
        QCOMPARE(error->kind(), ScraperError::Kind::LoginFailed);
        QVERIFY(scraper->sessionLogin().isEmpty());
        const QJsonValue loginRequest = m_portal->requests().at(requestsBefore);
        QCOMPARE(loginRequest[u"path"].toString(), u"/login"_s);
        QCOMPARE(loginRequest[u"hadSessionCookie"].toBool(), false);
        const QJsonValue loginPageStorage = m_portal->recordsOf(u"storage"_s).at(storageReportsBefore);
        QCOMPARE(loginPageStorage[u"page"].toString(), u"/login"_s);
        QCOMPARE(loginPageStorage[u"local"].toObject(), QJsonObject());
        QCOMPARE(loginPageStorage[u"session"].toObject(), QJsonObject());

        runTask(scraper->login(u"bartek"_s, u"b2"_s));
        QCOMPARE(scraper->sessionLogin(), u"bartek"_s);
        QCOMPARE(m_portal->valuesOf(u"set"_s, u"login"_s), (QStringList{u"anna"_s, u"bartek"_s, u"bartek"_s}));
        // Once logged in the portal's own storage stays across loads.
        runTask(scraper->evaluateJS(u"localStorage.setItem('kept', 'yes')"_s));
        runTask(scraper->loadURL(m_portal->url(u"/"_s).toString()));
        QCOMPARE(runTask(scraper->evaluateJS(u"localStorage.getItem('kept')"_s)), QVariant(u"yes"_s));
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
};

VELMORIA_WEBENGINE_TEST_MAIN(TestLogin)
#include "tst_login.moc"
