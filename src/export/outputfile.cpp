#include "outputfile.h"

#include <QChar>
#include <QDir>
#include <QStringList>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype maxComponentLength = 40; // user-perceived characters

// Space separators and the tab; line breaks are not white space here.
bool isBlank(char32_t scalar) { return scalar == U'\t' || QChar::category(scalar) == QChar::Separator_Space; }

// Letters, marks and numbers (Unicode categories L, M, N), the blanks and "-".
bool isKept(char32_t scalar)
{
    return QChar::isLetterOrNumber(scalar) || QChar::isMark(scalar) || scalar == U'-' || isBlank(scalar);
}

// Code point at @p i; a lone surrogate comes back as itself (category Cs, so it is dropped).
char32_t scalarAt(const QString &text, qsizetype i, qsizetype *width)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *width = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *width = 1;
    return c.unicode();
}

} // namespace

QString sanitizeFileComponent(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype width = 1;
        const char32_t scalar = scalarAt(text, i, &width);
        if (isKept(scalar))
            kept.append(QStringView(text).mid(i, width));
        i += width;
    }

    // Every kept blank is a single BMP code unit, so trimming works on code units.
    qsizetype begin = 0;
    qsizetype end = kept.size();
    while (begin < end && isBlank(kept.at(begin).unicode()))
        ++begin;
    while (end > begin && isBlank(kept.at(end - 1).unicode()))
        --end;
    QString result = kept.mid(begin, end - begin);
    result.replace(u' ', u'_');

    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, result);
    qsizetype count = 0;
    while (graphemes.toNextBoundary() != -1) {
        if (++count == maxComponentLength) {
            result.truncate(graphemes.position());
            break;
        }
    }
    return result;
}

QUrl makeOutputURL(
    const QString &apelacja, const QString &podmiot, const QUrl &folder, const QDateTime &moment)
{
    QString region = apelacja;
    region.remove(u"Apelacja "_s);

    QStringList parts { sanitizeFileComponent(region), u"sprawy"_s };
    if (!podmiot.isEmpty())
        parts.append(sanitizeFileComponent(podmiot));
    // QDateTime::toString with a format always uses the C locale: ASCII digits, Gregorian calendar.
    parts.append(moment.toString(u"yyyyMMdd_HHmm"_s));
    const QString fileName = parts.join(u'_') + u".xlsx"_s;

    if (folder.isLocalFile() || folder.isEmpty())
        return QUrl::fromLocalFile(QDir(folder.toLocalFile()).filePath(fileName));
    QUrl result = folder;
    QString path = result.path();
    if (!path.endsWith(u'/'))
        path.append(u'/');
    result.setPath(path + fileName);
    return result;
}

QUrl makeOutputURL(const QString &apelacja, const QString &podmiot, const QUrl &folder)
{
    return makeOutputURL(apelacja, podmiot, folder, QDateTime::currentDateTime());
}
