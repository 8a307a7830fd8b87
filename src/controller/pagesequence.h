#pragma once

#include "portal/webviewscraper.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

/**
 * Decides when the page loop has seen the whole table. Besides a page equal to the one before,
 * a page that brings no new case and whose signature was already read in this run ends the loop:
 * a paginator that wraps from the last page to the first would otherwise never end it.
 */
class PageEndDetector
{
public:
    /** Whether reading should stop at a page with @p signature that added nothing new when @p noNew. */
    [[nodiscard]] bool isEndBeforeClick(const QString &signature, bool noNew) const;
    /** Records the page just left, after a confirmed move to the next one. */
    void leavePage(const QString &signature);

private:
    QString m_lastSignature;
    QSet<QString> m_seenSignatures;
};

/** Positions of the case list, counted from 1, that no page read showed. */
struct SkippedPositions
{
    qint64 first = 0;
    qint64 last = 0;

    friend bool operator==(const SkippedPositions &, const SkippedPositions &) = default;
};

/**
 * Checks that the pages read join up, by the paginator's own range of each ("a - b z n", as read,
 * before any page-size correction): the first page read starts at 1, and every next one starts at
 * most one past where the one before ended. An overlap is harmless (its cases merge), and a range
 * starting at 1 again is a wrap. A page without a readable range is not checked, and neither is the
 * page after it.
 */
class PageRangeChain
{
public:
    /** Takes the range of the page just read; returns the positions skipped before it, if any. */
    std::optional<SkippedPositions> follow(const std::optional<PaginatorRange> &range);

    /** "Portal pominął sprawy na pozycjach 11–50." for the skipped positions, in the order found. */
    [[nodiscard]] static QString describe(const QList<SkippedPositions> &skipped);

private:
    std::optional<PaginatorRange> m_previous;
    bool m_anyRead = false;
};

/**
 * Where @p move went past a page by the run's own second click on the next-page control (the portal's index
 * may already have moved on): the cases not read from there on, for the user; none otherwise. A skip of the
 * portal's own is for PageRangeChain to tell.
 */
[[nodiscard]] std::optional<QString> describeOvershoot(const PageMove &move);
