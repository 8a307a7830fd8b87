#pragma once

#include <QLoggingCategory>
#include <QString>

/** The one identifier of the application: settings domain, log category prefix and keychain service. */
[[nodiscard]] QString applicationIdentifier();

/**
 * Sets the organisation and application names from the identifier ("pl.velmoria" and
 * "Velmoria"), so that a default-constructed QSettings is the application's own domain.
 * main() and the tests call it before anything reads settings.
 */
void applyApplicationIdentity();

Q_DECLARE_LOGGING_CATEGORY(lcViewModel)
