// Settings, and the password in a real Secret Service (see with-keyring.sh) or without any.
#include "controller/appidentity.h"
#include "controller/settingsstore.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The secret of @p account as the Secret Service holds it, read by its own command-line client.
QByteArray storedSecret(const QString &account)
{
    QProcess lookup;
    lookup.start(u"secret-tool"_s, { u"lookup"_s, u"server"_s, u"pl.velmoria.Velmoria"_s, u"user"_s, account });
    return lookup.waitForFinished(10000) && lookup.exitCode() == 0 ? lookup.readAllStandardOutput()
                                                                   : "(none)";
}

QStringList loaded()
{
    const Credentials credentials = loadCredentials();
    return { credentials.login, credentials.password };
}

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        applyApplicationIdentity();
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        for (const QString &account : { u"anna"_s, u"bartek"_s })
            deleteKeychainItem(account);
    }

    // The password lives in the secret store under the login, as its UTF-8 text; saving again
    // replaces it, a new login leaves the earlier item alone, and a removed item restores an empty
    // password.
    void credentials()
    {
        QCOMPARE(loaded(), QStringList(2));
        saveCredentials(u"anna"_s, u"first"_s);
        saveCredentials(u"anna"_s, u"zażółć gęślą jaźń"_s);
        QCOMPARE(storedSecret(u"anna"_s), u"zażółć gęślą jaźń"_s.toUtf8());
        QCOMPARE(loaded(), (QStringList { u"anna"_s, u"zażółć gęślą jaźń"_s }));

        saveCredentials(u"bartek"_s, u"barteks"_s);
        QCOMPARE(loaded(), (QStringList { u"bartek"_s, u"barteks"_s }));
        QCOMPARE(storedSecret(u"anna"_s), u"zażółć gęślą jaźń"_s.toUtf8());
        deleteKeychainItem(u"bartek"_s);
        QCOMPARE(loaded(), (QStringList { u"bartek"_s, QString() }));
    }

    // With no reachable secret store (a separate test command points the bus at nothing) the
    // login is still remembered and the password comes back empty.
    void credentialsWithoutStore()
    {
        if (!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(u"nonexistent"_s))
            QSKIP("needs a session without a secret store");
        saveCredentials(u"anna"_s, u"secret"_s);
        QCOMPARE(loaded(), (QStringList { u"anna"_s, QString() }));
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
