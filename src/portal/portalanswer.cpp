// Waiting until the page shows the result of a step that acted on the case list.

#include "portal/portalanswer.h"

#include "portal/pagescript.h"
#include "portal/webviewscraper.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString NoAnswerError::errorDescription() const
{
    switch (m_step) {
    case Step::caseList:
        return u"Nie udało się otworzyć listy spraw."_s;
    case Step::search:
        return u"Portal nie odpowiada na wyszukiwanie."_s;
    case Step::nextPage:
        break;
    }
    return u"Portal nie pokazał kolejnej strony."_s;
}

RequestMark RequestMark::fromScriptValue(const QVariant &value)
{
    const QVariantMap map = value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
    RequestMark mark;
    const std::optional<qint64> started = PageScript::wholeNumber(map.value(u"started"_s));
    if (map.value(u"document"_s).typeId() != QMetaType::QString || !started)
        return mark;
    mark.document = map.value(u"document"_s).toString();
    mark.started = *started;
    mark.openRequests = map.value(u"open"_s).toStringList();
    mark.listChanges = PageScript::wholeNumber(map.value(u"changes"_s)).value_or(0);
    return mark;
}

StepWait::StepWait(StepGoal goal, std::optional<ListReading> before, const RequestMark &mark, double pauseSeconds,
    double limitSeconds)
    : m_goal(std::move(goal))
    , m_before(std::move(before))
    , m_pause(pauseSeconds)
    , m_limit(limitSeconds)
    , m_last(m_before)
    , m_lastDocument(mark.document)
    , m_lastListChanges(mark.listChanges)
{
}

StepWait::Verdict StepWait::take(const StepReading &reading, double elapsed)
{
    Verdict verdict = Verdict::wait;
    if (reading.requests && reading.list) {
        const StepRequests &requests = *reading.requests;
        const ListReading &list = *reading.list;
        // A change between readings, or one the page counted in between, or another document altogether.
        if (!m_last || !list.showsSameListAs(*m_last) || requests.document != m_lastDocument
            || requests.listChanges != m_lastListChanges) {
            m_changedAt = elapsed;
        }
        // What is drawn, not the page's count: a click's ripple in the paginator changes no page.
        m_leftBefore = m_leftBefore || !m_before || !list.showsSameListAs(*m_before);
        if (requests.succeeded > m_lastSucceeded || (requests.succeeded > 0 && requests.document != m_lastDocument))
            m_answeredAt = elapsed;
        m_last = list;
        m_lastDocument = requests.document;
        m_lastListChanges = requests.listChanges;
        m_lastSucceeded = requests.succeeded;
        verdict = judge(requests, list, elapsed);
        if (verdict != Verdict::wait || elapsed < m_limit)
            return verdict;
        // At the limit, another page that has not settled is another page all the same: asking again would
        // go past it.
        if (m_goal.kind == StepGoal::Kind::nextPage)
            return showsAnotherPage(list) ? Verdict::done : requests.open == 0 ? Verdict::stale : Verdict::timedOut;
        return Verdict::timedOut;
    }
    // A page still loading, or one whose requests or list cannot be read, shows nothing yet.
    return elapsed < m_limit ? Verdict::wait : Verdict::timedOut;
}

StepWait::Verdict StepWait::judge(const StepRequests &requests, const ListReading &list, double elapsed)
{
    switch (m_goal.kind) {
    case StepGoal::Kind::answer:
        return judgeAnswer(requests, list, elapsed);
    case StepGoal::Kind::caseList:
        return judgeCaseList(requests, list, elapsed);
    case StepGoal::Kind::pageSize:
        return judgePageSize(list, elapsed);
    case StepGoal::Kind::nextPage:
        break;
    }
    return judgeNextPage(requests, list, elapsed);
}

bool StepWait::answerSettled(const StepRequests &requests, double elapsed) const
{
    // Nothing began: the pause was the answer. Otherwise an answer came, nothing is still on its way, and the
    // list has not changed for a while since.
    if (requests.began == 0)
        return elapsed - m_changedAt >= settleSeconds;
    return requests.open == 0 && m_answeredAt && elapsed - std::max(*m_answeredAt, m_changedAt) >= longSettleSeconds;
}

StepWait::Verdict StepWait::judgeAnswer(const StepRequests &requests, const ListReading &list, double elapsed) const
{
    if (elapsed < m_pause)
        return Verdict::wait;
    const double quiet = elapsed - m_changedAt;
    // The rows decide: a paginator may be drawn before them.
    const bool changed = !m_before || list.signature != m_before->signature || list.showsEmptyResult();
    if (!changed)
        return answerSettled(requests, elapsed) ? Verdict::done : Verdict::wait;
    if (quiet < settleSeconds)
        return Verdict::wait;
    // A list emptied while the answer is on its way, or after a failure, is no empty result.
    if (list.rows == 0)
        return requests.open == 0 && (requests.began == 0 || requests.succeeded > 0) ? Verdict::done : Verdict::wait;
    if (requests.open == 0 || (requests.succeeded > 0 && quiet >= longSettleSeconds))
        return Verdict::done;
    return Verdict::wait;
}

StepWait::Verdict StepWait::judgeCaseList(const StepRequests &requests, const ListReading &list, double elapsed)
{
    const bool newDocument = !m_before || requests.otherDocument;
    // Rows that are not the page's before, or the step's answer; a paginator that counts cases waits for them.
    // An empty list shows its own count of none, or the list's form, once the step's answer has come.
    const bool shown = list.rows > 0
        ? newDocument || !list.showsSameListAs(*m_before) || m_before->rows == 0 || answerSettled(requests, elapsed)
        : !list.countsCases() && elapsed >= m_pause && answerSettled(requests, elapsed)
            && (list.showsEmptyResult()
                || ((!list.labels.isEmpty() || list.searchButton) && (newDocument || !list.showsSameFormAs(*m_before))));
    if (!shown) {
        m_shownAt.reset();
        return Verdict::wait;
    }
    if (!m_shownAt)
        m_shownAt = elapsed;
    m_missingField.clear();
    for (const QString &field : std::as_const(m_goal.fields)) {
        if (!list.hasField(field)) {
            m_missingField = field;
            break;
        }
    }
    if (m_missingField.isEmpty() && m_goal.needsSearchButton && !list.searchButton)
        m_missingField = u"przycisk wyszukiwania"_s;
    // A list drawn before its form is given a while to bring it.
    if (!m_missingField.isEmpty())
        return elapsed - *m_shownAt >= longSettleSeconds ? Verdict::missingField : Verdict::wait;
    return elapsed >= m_pause && elapsed - m_changedAt >= settleSeconds ? Verdict::done : Verdict::wait;
}

StepWait::Verdict StepWait::judgePageSize(const ListReading &list, double elapsed) const
{
    if (elapsed < m_pause || !list.paginator.range)
        return Verdict::wait;
    const PaginatorRange &range = *list.paginator.range;
    const bool sizeShown = range.size() == m_goal.pageSize
        || (range.count <= m_goal.pageSize && range.first <= 1 && range.last == range.count);
    // A paginator may be drawn before its rows, and a table emptied while they come is none of them.
    const bool rowsShown = range.count == 0 ? list.rows == 0
                                            : list.rows > 0
            && (list.rows == range.size() || (m_before && list.signature != m_before->signature));
    return sizeShown && rowsShown && elapsed - m_changedAt >= settleSeconds ? Verdict::done : Verdict::wait;
}

bool StepWait::showsAnotherPage(const ListReading &list) const
{
    if (!m_before)
        return false;
    const PaginationInfo &left = m_before->paginator;
    const PaginationInfo &shown = list.paginator;
    // Another range, or without ranges other numbers; a paginator without numbers leaves it to the rows.
    const bool paginatorMoved = left.range && shown.range ? *shown.range != *left.range
        : left.showsNumbers()                             ? shown.showsNumbers() && shown != left
                                                          : true;
    return paginatorMoved && list.rows > 0 && list.signature != m_before->signature;
}

StepWait::Verdict StepWait::judgeNextPage(const StepRequests &requests, const ListReading &list, double elapsed) const
{
    if (elapsed < m_pause || !m_before)
        return Verdict::wait;
    const ListReading &before = *m_before;
    const double quiet = elapsed - m_changedAt;
    if (showsAnotherPage(list)) {
        if (quiet >= settleSeconds && (requests.open == 0 || (requests.succeeded > 0 && quiet >= longSettleSeconds)))
            return Verdict::done;
        return Verdict::wait;
    }
    if (!m_goal.mustMove) {
        // No other page came, and none need come: once the portal has answered the click, that is the end.
        const bool same = list.showsSameListAs(before);
        const bool answered = requests.began == 0 || (requests.open == 0 && requests.succeeded > 0);
        return same && answered && quiet >= settleSeconds ? Verdict::unchanged : Verdict::wait;
    }
    return requests.began == 0 && !m_leftBefore ? Verdict::lost : Verdict::wait;
}

QCoro::Task<QVariant> WebViewScraper::evaluateAction(QString script)
{
    static const QString wrapper = PageScript::load(u"markedaction"_s);
    const QVariant result = co_await evaluateJS(QString(wrapper).replace(u"__ACTION__"_s, script));
    const QVariantMap map = result.typeId() == QMetaType::QVariantMap ? result.toMap() : QVariantMap();
    m_mark = RequestMark::fromScriptValue(map.value(u"mark"_s));
    m_before = ListReading::fromScriptValue(map.value(u"before"_s));
    const QVariant value = map.value(u"value"_s);
    co_return value.typeId() == QMetaType::Nullptr ? QVariant() : value;
}

QCoro::Task<> WebViewScraper::markRequests()
{
    static const QString script = u"(function() { var readList = "_s + PageScript::load(u"readlist"_s)
        + u"; var counter = window.__velmoriaRequests;"
          " return { mark: counter ? counter.mark() : null, before: readList() }; })()"_s;
    const QVariantMap map = (co_await evaluateJS(script)).toMap();
    m_mark = RequestMark::fromScriptValue(map.value(u"mark"_s));
    m_before = ListReading::fromScriptValue(map.value(u"before"_s));
}

QCoro::Task<StepReading> WebViewScraper::readStep()
{
    // While a document loads, a script may still reach the one it replaces.
    if (isLoadUnderWay())
        co_return StepReading {};
    static const QString script = PageScript::load(u"stepstatus"_s);
    try {
        co_return StepReading::fromScriptValue(co_await evaluateJS(script + u"("_s
            + PageScript::quoted(m_mark.document) + u", "_s + QString::number(m_mark.started) + u", "_s
            + PageScript::quotedList(m_mark.openRequests) + u")"_s));
    } catch (const JavaScriptError &) {
        // A document replaced under the script: nothing could be read this time.
        co_return StepReading {};
    }
}

QCoro::Task<StepOutcome> WebViewScraper::awaitStep(StepGoal goal, double pauseSeconds, double limitSeconds)
{
    StepWait wait(std::move(goal), m_before, m_mark, pauseSeconds, limitSeconds);
    bool told = false;
    // The readings begin within the step's pause, so that a change during it counts toward settling.
    for (double elapsed = StepWait::pollSeconds;; elapsed += StepWait::pollSeconds) {
        co_await sleep(StepWait::pollSeconds);
        StepReading reading = co_await readStep();
        const StepWait::Verdict verdict = wait.take(reading, elapsed);
        if (verdict != StepWait::Verdict::wait)
            co_return StepOutcome { verdict, std::move(reading.list), wait.missingField() };
        if (!told && elapsed >= pauseSeconds) {
            told = true;
            qCInfo(lcScraper, "Waiting for the portal's answer...");
        }
    }
}
