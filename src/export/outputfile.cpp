#include "outputfile.h"

#include <QChar>
#include <QDir>
#include <QStringList>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype maxComponentLength = 40; // user-perceived characters
constexpr qsizetype maxFileNameBytes = 255; // a name's limit on common file systems, in UTF-8 bytes

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

// The longest run of whole user-perceived characters from the start of @p text within @p maxBytes of UTF-8.
QString cutToBytes(const QString &text, qsizetype maxBytes)
{
    if (text.toUtf8().size() <= maxBytes)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end != -1; end = graphemes.toNextBoundary()) {
        if (QStringView(text).left(end).toUtf8().size() > maxBytes)
            break;
        kept = end;
    }
    return text.left(kept);
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
    region = sanitizeFileComponent(region);
    QString party = podmiot.isEmpty() ? QString() : sanitizeFileComponent(podmiot);
    // QDateTime::toString with a format always uses the C locale: ASCII digits, Gregorian calendar.
    const QString stamp = moment.toString(u"yyyyMMdd_HHmm"_s);
    const auto nameOf = [&](const QString &regionPart, const QString &partyPart) {
        QStringList parts { regionPart, u"sprawy"_s };
        if (!podmiot.isEmpty())
            parts.append(partyPart);
        parts.append(stamp);
        return parts.join(u'_') + u".xlsx"_s;
    };
    // Forty characters of some scripts are more bytes than a file name may have, and the save would
    // fail with every collected case. The party part gives way first, then the region part.
    const qsizetype room = maxFileNameBytes - nameOf({}, {}).toUtf8().size();
    party = cutToBytes(party, room - region.toUtf8().size());
    region = cutToBytes(region, room - party.toUtf8().size());
    const QString fileName = nameOf(region, party);

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
