#include "pagesequence.h"

#include <QStringList>

using namespace Qt::StringLiterals;

bool PageEndDetector::isEndBeforeClick(const QString &signature, bool noNew) const
{
    if (!noNew)
        return false;
    return signature == m_lastSignature || m_seenSignatures.contains(signature);
}

void PageEndDetector::leavePage(const QString &signature)
{
    m_lastSignature = signature;
    m_seenSignatures.insert(signature);
}

std::optional<SkippedPositions> PageRangeChain::follow(const std::optional<PaginatorRange> &range)
{
    const bool first = !m_anyRead;
    m_anyRead = true;
    const std::optional<PaginatorRange> previous = std::exchange(m_previous, std::nullopt);
    // An empty list ("0 - 0 z 0") or a range that reads backwards says nothing of positions.
    if (!range || range->first < 1 || range->last < range->first)
        return std::nullopt;
    m_previous = range;
    if (first && range->first > 1)
        return SkippedPositions { 1, range->first - 1 };
    if (!previous || range->first == 1 || range->first <= previous->last + 1)
        return std::nullopt;
    return SkippedPositions { previous->last + 1, range->first - 1 };
}

QString PageRangeChain::describe(const QList<SkippedPositions> &skipped)
{
    QStringList spans;
    for (const SkippedPositions &span : skipped)
        spans.append(span.first == span.last ? QString::number(span.first)
                                              : u"%1\u2013%2"_s.arg(span.first).arg(span.last));
    return u"Portal pominął sprawy na pozycjach %1."_s.arg(spans.join(u", "_s));
}

std::optional<QString> describeOvershoot(const PageMove &move)
{
    if (move.kind != PageMove::Kind::moved || !move.clickedNextAgain || !move.left || !move.shown)
        return std::nullopt;
    const PaginationInfo &left = move.left->paginator;
    const PaginationInfo &shown = move.shown->paginator;
    if (left.range && shown.range) {
        if (shown.range->first <= left.range->last + 1)
            return std::nullopt;
        return u"Nie pobrano spraw na pozycjach %1\u2013%2."_s.arg(left.range->last + 1).arg(shown.range->count);
    }
    if (!left.current || !shown.current || *shown.current <= *left.current + 1)
        return std::nullopt;
    const qint64 from = *left.current + 1;
    const qint64 to = std::max(shown.total.value_or(*shown.current), *shown.current);
    return u"Nie pobrano stron %1\u2013%2."_s.arg(from).arg(to);
}
