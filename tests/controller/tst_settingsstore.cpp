// Settings and password storage against a real Secret Service in a private D-Bus session, and
// without any secret store.
#include "controller/appidentity.h"
#include "controller/settingsstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

/** The secret of @p account as the Secret Service holds it, read by its own command-line client. */
std::optional<QByteArray> readKeychainItem(const QString &account)
{
    QProcess lookup;
    lookup.start(u"secret-tool"_s, { u"lookup"_s, u"server"_s, applicationIdentifier(), u"user"_s, account });
    const bool ran = lookup.waitForFinished(10000) && lookup.exitStatus() == QProcess::NormalExit;
    return ran && lookup.exitCode() == 0 ? std::optional(lookup.readAllStandardOutput()) : std::nullopt;
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
    }

    void init()
    {
        QSettings().clear();
        for (const QString &account : { u"anna"_s, u"bartek"_s })
            deleteKeychainItem(account);
    }

    // The password lives in the secret store under the login; saving again replaces it, a new
    // login leaves the earlier item alone, and a removed item restores an empty password.
    void credentials()
    {
        saveCredentials(u"anna"_s, u"first"_s);
        saveCredentials(u"anna"_s, u"zażółć gęślą jaźń"_s);
        QCOMPARE(readKeychainItem(u"anna"_s), std::optional(u"zażółć gęślą jaźń"_s.toUtf8()));
        QCOMPARE(loaded(), (QStringList { u"anna"_s, u"zażółć gęślą jaźń"_s }));

        saveCredentials(u"bartek"_s, u"barteks"_s);
        QCOMPARE(QSettings().value(u"login"_s).toString(), u"bartek"_s);
        QCOMPARE(loaded(), (QStringList { u"bartek"_s, u"barteks"_s }));
        QCOMPARE(readKeychainItem(u"anna"_s), std::optional(u"zażółć gęślą jaźń"_s.toUtf8()));

        deleteKeychainItem(u"bartek"_s);
        QCOMPARE(loaded(), (QStringList { u"bartek"_s, QString() }));
    }

    // With no reachable secret store (a separate test command points the bus at nothing) the
    // login is still remembered, the password comes back empty, and nothing hangs.
    void credentialsWithoutStore()
    {
        if (!qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(u"nonexistent"_s))
            QSKIP("needs a session without a secret store");
        QElapsedTimer clock;
        clock.start();
        saveCredentials(u"anna"_s, u"secret"_s);
        QCOMPARE(loaded(), (QStringList { u"anna"_s, QString() }));
        QVERIFY(clock.elapsed() < 3 * keychainTimeoutMilliseconds);
    }

    // Any stored region comes back unchecked; a stored folder while something exists at its path,
    // else the desktop folder as the desktop environment names it.
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

        // Qt reads the desktop's folder names only outside test mode; the keyring wrapper's
        // scratch XDG_CONFIG_HOME keeps this away from the real configuration.
        QVERIFY(QDir(folder).removeRecursively());
        const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY2(configHome.startsWith(QDir::tempPath()), "needs the keyring wrapper's scratch folders");
        QFile userDirs(configHome + u"/user-dirs.dirs"_s);
        QVERIFY(userDirs.open(QIODevice::WriteOnly));
        userDirs.write("XDG_DESKTOP_DIR=\"$HOME/Pulpit\"\n");
        userDirs.close();
        QStandardPaths::setTestModeEnabled(false);
        const QUrl localised = loadOutputDirectory();
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(userDirs.remove());
        QCOMPARE(localised, QUrl::fromLocalFile(QDir::homePath() + u"/Pulpit"_s));

        // A regular file at the stored path passes the existence test.
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
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
