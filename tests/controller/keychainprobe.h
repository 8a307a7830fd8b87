#pragma once

#include "controller/appidentity.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <optional>

/** Reads the secret-store item of @p account directly, bypassing the code under test. */
inline std::optional<QByteArray> readKeychainItem(const QString &account)
{
    auto *job = new QKeychain::ReadPasswordJob(applicationIdentifier());
    job->setAutoDelete(false);
    job->setKey(account);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    std::optional<QByteArray> result;
    if (job->error() == QKeychain::NoError)
        result = job->binaryData();
    job->deleteLater();
    return result;
}
