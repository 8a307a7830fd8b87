// Moving on to the next page of the case list, and asking once more where it does not come.

#include "portal/webviewscraper.h"

#include "portal/pagescript.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double clickPauseSeconds = 1.5;

} // namespace

QCoro::Task<std::optional<PageMove>> WebViewScraper::goToNextPage(bool mustMove)
{
    co_await evaluateJS(PageScript::load(u"scroll"_s));
    co_await sleep(0.5);
    if (!PageScript::boolOr(co_await evaluateAction(PageScript::load(u"nextpage"_s)), false)) {
        qCInfo(lcScraper, "goToNextPage: no paginator found");
        co_return std::nullopt;
    }
    qCInfo(lcScraper, "goToNextPage: paginator clicked");
    PageMove move;
    move.left = m_before;
    const StepGoal goal = StepGoal::nextPage(mustMove);
    StepOutcome outcome = co_await awaitStep(goal, clickPauseSeconds, answerLimitSeconds);
    if (outcome.verdict == StepWait::Verdict::lost || outcome.verdict == StepWait::Verdict::stale) {
        qCInfo(lcScraper, "The next page did not come: asking for it once more");
        outcome = co_await askForNextPageAgain(move, mustMove);
    }
    switch (outcome.verdict) {
    case StepWait::Verdict::done:
        move.kind = PageMove::Kind::moved;
        move.shown = std::move(outcome.list);
        co_return move;
    case StepWait::Verdict::unchanged:
        move.kind = PageMove::Kind::unchanged;
        move.shown = std::move(outcome.list);
        co_return move;
    default:
        qCWarning(lcScraper, "The next page did not come");
        throw NoAnswerError(NoAnswerError::Step::nextPage);
    }
}

QCoro::Task<StepOutcome> WebViewScraper::askForNextPageAgain(PageMove &move, bool mustMove)
{
    const StepGoal goal = StepGoal::nextPage(mustMove);
    const std::optional<qint64> left = move.left ? move.left->paginator.current : std::nullopt;
    // By the wanted page's number where the paginator shows one: that cannot go past a page.
    if (left && co_await clickPageNumber(*left + 1)) {
        StepOutcome outcome = co_await awaitStep(goal, clickPauseSeconds, answerLimitSeconds);
        if (outcome.verdict != StepWait::Verdict::lost)
            co_return outcome;
        // The portal's own page index has moved on already, so its number asks nothing: through the page shown.
        if (!co_await clickPageNumber(*left))
            co_return outcome;
        co_await awaitStep(StepGoal::answer(), clickPauseSeconds, answerLimitSeconds);
        if (!co_await clickPageNumber(*left + 1))
            co_return outcome;
        co_return co_await awaitStep(goal, clickPauseSeconds, answerLimitSeconds);
    }
    if (!PageScript::boolOr(co_await evaluateAction(PageScript::load(u"nextpage"_s)), false))
        co_return StepOutcome { StepWait::Verdict::timedOut, std::nullopt, {} };
    move.clickedNextAgain = true;
    co_return co_await awaitStep(goal, clickPauseSeconds, answerLimitSeconds);
}

QCoro::Task<bool> WebViewScraper::clickPageNumber(qint64 page)
{
    static const QString script = PageScript::load(u"pagenumber"_s);
    co_return PageScript::boolOr(co_await evaluateAction(script + u"("_s + QString::number(page) + u")"_s), false);
}
