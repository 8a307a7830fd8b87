#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "webenginetestmain.h"

#include <QTcpServer>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class TestLogin : public QObject
{
    Q_OBJECT

private:
    FakePortal m_portal;
    QTemporaryDir m_storage;

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

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_portal.isRunning(), qPrintable(m_portal.errorString())); }

    // Quotes, backslashes, escape look-alikes, line breaks, U+2028 and emoji reach the focused inputs exactly
    // as typed, followed by input and change, as typing reports; the portal takes the password. Another login
    // must not inherit the stored session: cookies and web storage are dropped first, so the new password is
    // really checked. The same login again reuses its session, kept on disk, and types nothing.
    void sessionFollowsTheLogin()
    {
        setPauseScaleForTesting(0.05);
        const QString anna = u"o'Brien\\x\ny\rz\u2028😀 a\\nb\\'c"_s;
        const QString annasPassword = u"p'\\\\'\u2028😀ś\" \\r"_s; // a password input would drop line breaks
        const QString posted = QString(anna).remove(u'\n').remove(u'\r'); // and so does a text input
        QVERIFY(m_portal.configure(
            { { u"accounts"_s, QJsonObject { { posted, annasPassword }, { u"bartek"_s, u"b2"_s } } } }));
        {
            WebViewScraper scraper(m_portal.url(u"/login"_s), m_storage.path());
            runTask(scraper.login(anna, annasPassword));
            QCOMPARE(valuesOf(u"set"_s, u"login"_s), QStringList { anna });
            QCOMPARE(valuesOf(u"set"_s, u"password"_s), QStringList { annasPassword });
            QCOMPARE(loginFieldEvents(), (QStringList { u"focus"_s, u"set"_s, u"input"_s, u"change"_s }));
            QCOMPARE(failureOf(scraper.login(u"bartek"_s, u"wrong"_s)), u"Logowanie nie powiodło się. Sprawdź dane."_s);
            QCOMPARE(scraper.sessionLogin(), QString());
            runTask(scraper.login(u"bartek"_s, u"b2"_s));
            runTask(scraper.login(u"bartek"_s, u"b2"_s));
            QCOMPARE(scraper.sessionLogin(), u"bartek"_s);
        }
        // The session is kept on disk, for the next launch: the cookies are written out as the profile goes.
        const auto written = [this] {
            QFile cookies(m_storage.filePath(u"Cookies"_s));
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
        QCOMPARE(found, (QStringList { u"/login="_s, u"/="_s, u"/login="_s, u"/login="_s, u"/login="_s, u"/="_s, u"/=bartek"_s }));
        QCOMPARE(valuesOf(u"set"_s, u"login"_s), (QStringList { anna, u"bartek"_s, u"bartek"_s }));
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
};

VELMORIA_WEBENGINE_TEST_MAIN(TestLogin)
#include "tst_login.moc"
