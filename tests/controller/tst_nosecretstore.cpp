// Without any reachable secret store the password is simply not kept, and nothing hangs.
#include "controller/settingsstore.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

class NoSecretStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareTestEnvironment();
        // The test command points the session bus at nothing.
        QVERIFY(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(u"nonexistent"_s));
    }

    // The login is still remembered; the password comes back empty, within the time limit.
    void credentialsWithoutStore()
    {
        QElapsedTimer clock;
        clock.start();
        saveCredentials(u"anna"_s, u"secret"_s);
        const Credentials credentials = loadCredentials();
        deleteKeychainItem(u"anna"_s);
        QCOMPARE(credentials.login, u"anna"_s);
        QVERIFY(credentials.password.isEmpty());
        QVERIFY(clock.elapsed() < 4 * keychainTimeoutMilliseconds);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    NoSecretStoreTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_nosecretstore.moc"
