#pragma once

#include <QString>
#include <QUrl>

/**
 * What the application remembers between launches: the login, the region and the output folder
 * in the application's QSettings, the password in the system's secret store (service: the
 * application identifier, account: the login). Nothing here reports a failure.
 */

/** A login and its password; either may be empty. */
struct Credentials
{
    QString login;
    QString password;
};

/** Stores the login under "login", then replaces the secret-store item of that login. */
void saveCredentials(const QString &login, const QString &password);

/** The stored login and its password; an empty password when the item or the store is missing. */
[[nodiscard]] Credentials loadCredentials();

/** Removes the secret-store item of @p account, if any. */
void deleteKeychainItem(const QString &account);

/** The stored folder when something still exists at its path, else ~/Desktop (not checked). */
[[nodiscard]] QUrl loadOutputDirectory();

/** Stores the folder's path under "outputDir". */
void saveOutputDirectory(const QUrl &folder);

/** The region stored under "apelacja", or @p fallback when none is stored. */
[[nodiscard]] QString loadApelacja(const QString &fallback);
void saveApelacja(const QString &apelacja);

/** ~/Desktop as a file URL. */
[[nodiscard]] QUrl defaultOutputDirectory();

/**
 * Longest wait for one secret-store request, in milliseconds. A missing or stuck store must not
 * hang the application, so a request that has not answered by then counts as failed.
 */
inline constexpr int keychainTimeoutMilliseconds = 5000;
