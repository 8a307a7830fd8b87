#include "pagereading.h"

#include "portal/pagescript.h"

#include <algorithm>

using namespace Qt::StringLiterals;

PaginationInfo PaginationInfo::fromScriptValue(const QVariantMap &reading)
{
    PaginationInfo info { PageScript::wholeNumber(reading.value(u"current"_s)),
        PageScript::wholeNumber(reading.value(u"total"_s)), std::nullopt };
    const QVariantList range = reading.value(u"range"_s).toList();
    if (range.size() == 3) {
        const auto first = PageScript::wholeNumber(range.at(0));
        const auto last = PageScript::wholeNumber(range.at(1));
        const auto count = PageScript::wholeNumber(range.at(2));
        if (first && last && count)
            info.range = PaginatorRange { *first, *last, *count };
    }
    return info;
}

bool PaginationInfo::isLastPage() const
{
    if (range)
        return range->last == range->count;
    return current && total && *current >= *total;
}

bool PaginationInfo::countsNone() const
{
    return range ? range->count == 0 : total == 0;
}

std::optional<ListReading> ListReading::fromScriptValue(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value.toMap();
    const std::optional<qint64> rows = PageScript::wholeNumber(map.value(u"rows"_s));
    if (map.value(u"signature"_s).typeId() != QMetaType::QString || !rows)
        return std::nullopt;
    ListReading reading;
    reading.signature = map.value(u"signature"_s).toString();
    reading.rows = *rows;
    const QVariantMap paginator = map.value(u"paginator"_s).toMap();
    reading.paginator = PaginationInfo::fromScriptValue(paginator);
    if (paginator.value(u"text"_s).typeId() == QMetaType::QString)
        reading.paginatorText = paginator.value(u"text"_s).toString();
    reading.labels = map.value(u"labels"_s).toStringList();
    reading.searchButton = PageScript::boolOr(map.value(u"searchButton"_s), false);
    reading.noDataRow = PageScript::boolOr(map.value(u"noData"_s), false);
    return reading;
}

bool ListReading::hasField(const QString &label) const
{
    return std::any_of(labels.cbegin(), labels.cend(), [&label](const QString &shown) { return shown.contains(label); });
}

StepReading StepReading::fromScriptValue(const QVariant &value)
{
    const QVariantMap map = value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
    StepReading reading;
    reading.list = ListReading::fromScriptValue(map.value(u"list"_s));
    const QVariantMap requests = map.value(u"requests"_s).toMap();
    const auto number = [&requests](const QString &key) { return PageScript::wholeNumber(requests.value(key)); };
    const auto began = number(u"began"_s), open = number(u"open"_s), succeeded = number(u"succeeded"_s),
               listChanges = number(u"listChanges"_s);
    if (requests.value(u"document"_s).typeId() == QMetaType::QString && began && open && succeeded && listChanges)
        reading.requests = StepRequests { requests.value(u"document"_s).toString(),
            requests.value(u"otherDocument"_s).toBool(), *began, *open, *succeeded, *listChanges };
    return reading;
}
