#include "pagescript.h"

#include "portal/webviewscraper.h"

#include <QFile>
#include <QHash>

#include <cmath>

using namespace Qt::StringLiterals;

namespace PageScript {

QString load(const QString &name)
{
    static QHash<QString, QString> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    QFile file(u":/scripts/"_s + name + u".js"_s);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Missing page script %s", qPrintable(name));
    QString text = QString::fromUtf8(file.readAll()).trimmed();
    // Pieces several scripts share live in files of their own, pasted in where a script names them.
    static const std::pair<QString, QString> pieces[] = {
        { u"__FIND_ROWS__"_s, u"findrows"_s },
        { u"__WELL_FORMED__"_s, u"wellformed"_s },
        { u"__ROW_SIGNATURE__"_s, u"rowsignature"_s },
        { u"__READ_PAGINATOR__"_s, u"readpaginator"_s },
        { u"__FIND_SEARCH_BUTTON__"_s, u"findsearchbutton"_s },
        { u"__READ_LIST__"_s, u"readlist"_s },
    };
    for (const auto &[placeholder, piece] : pieces) {
        if (text.contains(placeholder))
            text.replace(placeholder, load(piece));
    }
    cache.insert(name, text);
    return text;
}

QString quoted(const QString &text)
{
    return u"'"_s + WebViewScraper::escapeJS(text) + u"'"_s;
}

QString quotedList(const QStringList &texts)
{
    QStringList items;
    items.reserve(texts.size());
    for (const QString &text : texts)
        items.append(quoted(text));
    return u"["_s + items.join(u", "_s) + u"]"_s;
}

QString withValue(const QString &name, const QString &placeholder, const QString &value)
{
    return load(name).replace(placeholder, quoted(value));
}

QString textOr(const QVariant &value, const QString &fallback)
{
    return value.metaType().id() == QMetaType::QString ? value.toString() : fallback;
}

bool boolOr(const QVariant &value, bool fallback)
{
    return value.metaType().id() == QMetaType::Bool ? value.toBool() : fallback;
}

std::optional<qint64> wholeNumber(const QVariant &value)
{
    // The engine hands numbers over as doubles, or as integers when they are small and whole.
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        // 2^63 itself is out of range; every double below it converts exactly.
        if (!std::isfinite(number) || std::trunc(number) != number || number < -9223372036854775808.0
            || number >= 9223372036854775808.0)
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() gives its default for anything that is not a whole qint64; two defaults tell.
    const qint64 first = value.toInteger(0);
    const qint64 second = value.toInteger(1);
    if (first != second)
        return std::nullopt;
    return first;
}

} // namespace PageScript
