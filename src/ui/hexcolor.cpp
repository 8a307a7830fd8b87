#include "hexcolor.h"

#include <QTextBoundaryFinder>

#include <limits>

namespace {
// Letters, marks and numbers, like Foundation's alphanumeric set: a leading combining mark stays.
bool isAlphanumeric(char32_t codePoint)
{
    return QChar::isLetterOrNumber(codePoint) || QChar::isMark(codePoint);
}

// Trims by code points so that a letter outside the BMP is kept whole.
QString trimNonAlphanumeric(const QString &text)
{
    const auto codePoints = text.toUcs4();
    qsizetype first = 0;
    qsizetype last = codePoints.size();
    while (first < last && !isAlphanumeric(codePoints.at(first)))
        ++first;
    while (last > first && !isAlphanumeric(codePoints.at(last - 1)))
        --last;
    return QString::fromUcs4(
        reinterpret_cast<const char32_t *>(codePoints.constData()) + first, last - first);
}

qsizetype graphemeCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads like a Foundation hex scanner: leading white space, optional 0x/0X, digits of either case.
quint64 scanHex(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i + 1 < text.size() && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')
        && i + 2 < text.size() && hexDigitValue(text.at(i + 2)) >= 0)
        i += 2;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text.at(i));
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<quint64>::max() >> 4))
            return std::numeric_limits<quint64>::max();
        value = (value << 4) | quint64(digit);
    }
    return value;
}
} // namespace

QColor colorFromHex(const QString &hex)
{
    const QString trimmed = trimNonAlphanumeric(hex);
    int red = 0;
    int green = 0;
    int blue = 0;
    if (graphemeCount(trimmed) == 6) {
        const quint64 value = scanHex(trimmed);
        red = int((value >> 16) & 0xFF);
        green = int((value >> 8) & 0xFF);
        blue = int(value & 0xFF);
    }
    return QColor::fromRgb(red, green, blue, 255);
}
