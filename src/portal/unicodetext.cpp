#include "unicodetext.h"

#include <QHash>

namespace UnicodeText {

QString canonicalForm(const QString &text)
{
    return text.normalized(QString::NormalizationForm_D);
}

bool canonicallyEqual(const QString &a, const QString &b)
{
    // Identical code units are by far the common case; normalising is the slow path.
    return a == b || canonicalForm(a) == canonicalForm(b);
}

size_t canonicalHash(const QString &text, size_t seed)
{
    return qHash(canonicalForm(text), seed);
}

QString replacingLoneSurrogates(const QString &text)
{
    QString result;
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < length && text.at(i + 1).isLowSurrogate()) {
            if (!result.isNull())
                result.append(c).append(text.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            if (result.isNull())
                result = text.left(i);
            result.append(QChar::ReplacementCharacter);
        } else if (!result.isNull()) {
            result.append(c);
        }
    }
    return result.isNull() ? text : result;
}

} // namespace UnicodeText
