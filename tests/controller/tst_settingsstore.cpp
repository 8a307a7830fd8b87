// Settings and password storage against a real Secret Service in a private D-Bus session, and
// without any secret store.
#include "controller/settingsstore.h"
#include "keychainprobe.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareTestEnvironment(); }

    void init()
    {
        QSettings().clear();
        for (const QString &account : { u"anna"_s, u"bartek"_s })
            deleteKeychainItem(account);
    }

    // The login goes to the settings and the password to the secret store, both come back; a
    // login saved again replaces its password, a new login leaves the earlier item unread, and a
    // removed item leaves the login with an empty password.
    void credentials()
    {
        saveCredentials(u"anna"_s, u"first"_s);
        saveCredentials(u"anna"_s, u"zażółć gęślą jaźń"_s);
        QCOMPARE(QSettings().value(u"login"_s).toString(), u"anna"_s);
        QCOMPARE(readKeychainItem(u"anna"_s), std::optional(u"zażółć gęślą jaźń"_s.toUtf8()));
        Credentials credentials = loadCredentials();
        QCOMPARE(credentials.login, u"anna"_s);
        QCOMPARE(credentials.password, u"zażółć gęślą jaźń"_s);

        saveCredentials(u"bartek"_s, u"barteks"_s);
        credentials = loadCredentials();
        QCOMPARE(credentials.login, u"bartek"_s);
        QCOMPARE(credentials.password, u"barteks"_s);
        QCOMPARE(readKeychainItem(u"anna"_s), std::optional(u"zażółć gęślą jaźń"_s.toUtf8()));

        deleteKeychainItem(u"bartek"_s);
        QVERIFY(!readKeychainItem(u"bartek"_s).has_value());
        credentials = loadCredentials();
        QCOMPARE(credentials.login, u"bartek"_s);
        QVERIFY(credentials.password.isEmpty());
    }

    // With no reachable secret store at all (a separate test command points the session bus at
    // nothing) the login is still remembered, the password comes back empty, and nothing hangs.
    void credentialsWithoutStore()
    {
        if (!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(u"nonexistent"_s))
            QSKIP("needs a session without a secret store");
        QElapsedTimer clock;
        clock.start();
        saveCredentials(u"anna"_s, u"secret"_s);
        const Credentials credentials = loadCredentials();
        QCOMPARE(credentials.login, u"anna"_s);
        QVERIFY(credentials.password.isEmpty());
        QVERIFY(clock.elapsed() < 3 * keychainTimeoutMilliseconds);
    }

    // Any stored region text comes back unchecked. A chosen folder comes back while something
    // exists at its path; a vanished one gives the Desktop.
    void regionAndFolder()
    {
        saveApelacja(u"Apelacja marsjańska"_s);
        QCOMPARE(loadApelacja(u"Apelacja wrocławska"_s), u"Apelacja marsjańska"_s);

        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QString folder = scratch.filePath(u"wyniki"_s);
        QVERIFY(QDir().mkpath(folder));
        saveOutputDirectory(QUrl::fromLocalFile(folder));
        QCOMPARE(QSettings().value(u"outputDir"_s).toString(), folder);
        QCOMPARE(loadOutputDirectory(), QUrl::fromLocalFile(folder));

        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(loadOutputDirectory(), QUrl::fromLocalFile(QDir::homePath() + u"/Desktop"_s));
        // A localised desktop folder is the one the user sees as the Desktop. Qt reads the
        // desktop's folder names only outside test mode; the wrapper's scratch XDG_CONFIG_HOME
        // keeps this away from the real configuration.
        const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY2(configHome.startsWith(QDir::tempPath()), "needs the keyring wrapper's scratch folders");
        const QString userDirs = configHome + u"/user-dirs.dirs"_s;
        {
            QFile dirs(userDirs);
            QVERIFY(dirs.open(QIODevice::WriteOnly));
            dirs.write("XDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n");
        }
        QStandardPaths::setTestModeEnabled(false);
        const QUrl localised = loadOutputDirectory();
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(QFile::remove(userDirs));
        QCOMPARE(localised, QUrl::fromLocalFile(QDir::homePath() + u"/Pulpit"_s));
        // The stored value stays until another folder is chosen.
        QCOMPARE(QSettings().value(u"outputDir"_s).toString(), folder);

        // A regular file passes the existence test.
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(loadOutputDirectory(), QUrl::fromLocalFile(folder));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SettingsStoreTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settingsstore.moc"
