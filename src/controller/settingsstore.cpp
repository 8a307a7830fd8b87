#include "settingsstore.h"

#include "controller/appidentity.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString loginKey = u"login"_s;
const QString apelacjaKey = u"apelacja"_s;
const QString outputDirKey = u"outputDir"_s;

/**
 * Runs @p job to its end or until the time limit, in a local event loop. Returns whether it
 * finished without error. A job that outlives the wait deletes itself whenever it ends.
 */
bool runKeychainJob(QKeychain::Job *job)
{
    job->setAutoDelete(true);
    QEventLoop loop;
    bool finished = false;
    bool succeeded = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        finished = true;
        succeeded = done->error() == QKeychain::NoError;
        loop.quit();
    });
    QTimer::singleShot(keychainTimeoutMilliseconds, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished)
        qCWarning(lcViewModel, "Keychain did not answer within %d ms", keychainTimeoutMilliseconds);
    return finished && succeeded;
}

} // namespace

void saveCredentials(const QString &login, const QString &password)
{
    QSettings().setValue(loginKey, login);
    deleteKeychainItem(login);
    auto *job = new QKeychain::WritePasswordJob(applicationIdentifier());
    job->setKey(login);
    // As text, the secret is the password's UTF-8 bytes; binary data would be stored base64-encoded.
    job->setTextData(password);
    runKeychainJob(job);
}

Credentials loadCredentials()
{
    const QString login = QSettings().value(loginKey).toString();
    if (login.isEmpty())
        return {};
    auto *job = new QKeychain::ReadPasswordJob(applicationIdentifier());
    job->setKey(login);
    // The job deletes itself after finishing, possibly after the wait gave up: it writes into
    // storage that outlives this call.
    auto bytes = std::make_shared<QByteArray>();
    QObject::connect(job, &QKeychain::Job::finished, job, [bytes, job] { *bytes = job->binaryData(); });
    if (!runKeychainJob(job))
        return { login, QString() };
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString password = decoder(*bytes);
    if (decoder.hasError())
        return { login, QString() };
    return { login, password };
}

void deleteKeychainItem(const QString &account)
{
    auto *job = new QKeychain::DeletePasswordJob(applicationIdentifier());
    job->setKey(account);
    runKeychainJob(job);
}

QUrl defaultOutputDirectory()
{
    // The user's desktop as the desktop environment names it (~/Desktop unless localised, e.g. ~/Pulpit).
    return QUrl::fromLocalFile(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

QUrl loadOutputDirectory()
{
    const QVariant stored = QSettings().value(outputDirKey);
    if (stored.isValid()) {
        const QString path = stored.toString();
        if (!path.isEmpty() && QFileInfo::exists(path))
            return QUrl::fromLocalFile(path);
    }
    return defaultOutputDirectory();
}

void saveOutputDirectory(const QUrl &folder) { QSettings().setValue(outputDirKey, folder.toLocalFile()); }

QString loadApelacja(const QString &fallback)
{
    const QVariant stored = QSettings().value(apelacjaKey);
    return stored.isValid() ? stored.toString() : fallback;
}

void saveApelacja(const QString &apelacja) { QSettings().setValue(apelacjaKey, apelacja); }
