#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

/** The paginator's range "a - b z n" as it reads. */
struct PaginatorRange
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 count = 0;

    [[nodiscard]] qint64 size() const { return last - first + 1; }

    friend bool operator==(const PaginatorRange &, const PaginatorRange &) = default;
};

/** The paginator's reading: current page and number of pages, each possibly unknown. */
struct PaginationInfo
{
    std::optional<qint64> current;
    std::optional<qint64> total;
    /** Present when the paginator shows a range; current and total were worked out from it. */
    std::optional<PaginatorRange> range;

    /** A reading of the paginator script's object ("current", "total", "range"); nothing readable in another. */
    [[nodiscard]] static PaginationInfo fromScriptValue(const QVariantMap &reading);

    /** Whether the paginator shows any page numbers at all. */
    [[nodiscard]] bool showsNumbers() const { return current || total; }
    /** The range ends at its total, or, without a range, the page shown is at least the total. */
    [[nodiscard]] bool isLastPage() const;
    /** Whether the list holds no case by the paginator's count (a range "0 - 0 z 0", or no pages). */
    [[nodiscard]] bool countsNone() const;

    /** Two readings show the same page: the same range, or without one the same numbers. */
    friend bool operator==(const PaginationInfo &, const PaginationInfo &) = default;
};

/** What the case list shows at one moment: rows, paginator and search form. */
struct ListReading
{
    /** The number of rows and the text of the first three; the page signature. */
    QString signature;
    /** Case rows shown, header rows aside. */
    qint64 rows = 0;
    PaginationInfo paginator;
    /** The paginator's whole text; absent without a paginator. */
    std::optional<QString> paginatorText;
    /** The labels of the page's form fields. */
    QStringList labels;
    bool searchButton = false;
    /** The table's own row for an empty result. */
    bool noDataRow = false;

    /** A reading of the list script; none for a value that is not one. */
    [[nodiscard]] static std::optional<ListReading> fromScriptValue(const QVariant &value);

    /** The list holds no case: its paginator counts none, or its table says so. */
    [[nodiscard]] bool showsEmptyResult() const { return noDataRow || paginator.countsNone(); }
    /** The paginator counts some case, whether or not its rows have come. */
    [[nodiscard]] bool countsCases() const
    {
        return paginator.range ? paginator.range->count > 0 : paginator.total.value_or(0) > 0;
    }
    /** The same labels and search button: the same form, or none. */
    [[nodiscard]] bool showsSameFormAs(const ListReading &other) const
    {
        return labels == other.labels && searchButton == other.searchButton;
    }
    /** A form field whose label contains @p label. */
    [[nodiscard]] bool hasField(const QString &label) const;
    /** The same rows and the same paginator text. */
    [[nodiscard]] bool showsSameListAs(const ListReading &other) const
    {
        return signature == other.signature && paginatorText == other.paginatorText;
    }
};

/** The requests of a step, by the page's own count: those its action began or that began after it. */
struct StepRequests
{
    /** The document the count belongs to. */
    QString document;
    /** The page shows another document than the step's: these are all of its requests. */
    bool otherDocument = false;
    qint64 began = 0;
    qint64 open = 0;
    /** Ended with an answer (an error status or a broken connection is none). */
    qint64 succeeded = 0;
    /** Changes to the list's rows and paginator in that document so far. */
    qint64 listChanges = 0;
};

/** One reading of a step: its requests and what the list shows; either absent when it cannot be read. */
struct StepReading
{
    std::optional<StepRequests> requests;
    std::optional<ListReading> list;

    [[nodiscard]] static StepReading fromScriptValue(const QVariant &value);
};
