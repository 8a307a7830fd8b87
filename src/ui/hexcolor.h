#pragma once

#include <QColor>
#include <QString>

/**
 * An opaque sRGB colour from a six-digit hexadecimal RGB text such as "#1B2A4A" or "c8e000".
 * Non-alphanumeric characters are trimmed from both ends; the rest is scanned as a hexadecimal
 * number (optional 0x prefix, stopping at the first non-digit). A trimmed text that is not
 * exactly six user-perceived characters gives opaque black. Never fails.
 */
[[nodiscard]] QColor colorFromHex(const QString &hex);
