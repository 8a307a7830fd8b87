#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

/**
 * The workbook's location: @p folder with the name
 * "<region>_sprawy[_<party>]_yyyyMMdd_HHmm.xlsx", the region being @p apelacja without "Apelacja ",
 * the party part present whenever @p podmiot is non-empty, the time stamp the current local minute.
 * When the name would exceed 255 bytes of UTF-8, the party part and then the region part are cut
 * further, at user-perceived character boundaries. Never fails; the folder is neither examined nor created.
 */
[[nodiscard]] QUrl makeOutputURL(const QString &apelacja, const QString &podmiot, const QUrl &folder);

/** As above with the time stamp taken from @p moment (read in its own time zone). */
[[nodiscard]] QUrl makeOutputURL(
    const QString &apelacja, const QString &podmiot, const QUrl &folder, const QDateTime &moment);

/**
 * @p text made safe for a file name: only letters, marks, numbers, space separators, tabs and "-"
 * are kept, the ends trimmed of white space, spaces turned into "_", cut to 40 user-perceived characters.
 */
[[nodiscard]] QString sanitizeFileComponent(const QString &text);
