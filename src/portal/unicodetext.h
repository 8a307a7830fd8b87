#pragma once

#include <QString>

/**
 * Text equality of the whole system: two texts are the same when they are
 * canonically equivalent Unicode strings ("ó" composed or as "o" + combining acute).
 */
namespace UnicodeText {

/** The canonical decomposition (NFD) of @p text: equal for canonically equivalent texts. */
[[nodiscard]] QString canonicalForm(const QString &text);

[[nodiscard]] bool canonicallyEqual(const QString &a, const QString &b);

/** A hash that agrees with canonicallyEqual(). */
[[nodiscard]] size_t canonicalHash(const QString &text, size_t seed = 0);

/** @p text with every unpaired UTF-16 surrogate replaced by U+FFFD. */
[[nodiscard]] QString replacingLoneSurrogates(const QString &text);

} // namespace UnicodeText
