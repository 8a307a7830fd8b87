#pragma once

#include "controller/appidentity.h"

#include <QSettings>
#include <QStandardPaths>

/**
 * Isolates a test process: the application identity, settings and data in the test locations
 * (the keyring wrapper also points HOME and the XDG folders at a scratch folder), and no
 * earlier settings.
 */
inline void prepareTestEnvironment()
{
    applyApplicationIdentity();
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
}
