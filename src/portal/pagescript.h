#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

/** The page scripts kept as resources, and how their values are read back. */
namespace PageScript {

/** The text of ":/scripts/<name>.js", read once; shared pieces it names are pasted in. */
[[nodiscard]] QString load(const QString &name);

/** @p text as an escaped, single-quoted script string: the only way a value enters a script. */
[[nodiscard]] QString quoted(const QString &text);
[[nodiscard]] QString quotedList(const QStringList &texts);

/** load(name) with @p placeholder replaced by quoted(value). */
[[nodiscard]] QString withValue(const QString &name, const QString &placeholder, const QString &value);

// A script value read as the kind the caller expects, or the caller's default.
[[nodiscard]] QString textOr(const QVariant &value, const QString &fallback);
[[nodiscard]] bool boolOr(const QVariant &value, bool fallback);
/** Only a number that is whole and fits in 64 bits. */
[[nodiscard]] std::optional<qint64> wholeNumber(const QVariant &value);
[[nodiscard]] std::optional<qint64> wholeNumber(const QJsonValue &value);

} // namespace PageScript
