// Waiting for the portal's answer to a step that acted on its page, by the page's own requests.

#include "portal/portalanswer.h"

#include "portal/pagescript.h"
#include "portal/webviewscraper.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double answerPollSeconds = 0.5;
constexpr double settleSeconds = 0.25;

} // namespace

QString NoAnswerError::errorDescription() const
{
    return u"Portal nie odpowiada na wyszukiwanie."_s;
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
    return mark;
}

std::optional<RequestActivity> RequestActivity::fromScriptValue(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value.toMap();
    const std::optional<qint64> began = PageScript::wholeNumber(map.value(u"began"_s));
    const std::optional<qint64> open = PageScript::wholeNumber(map.value(u"open"_s));
    const std::optional<qint64> quiet = PageScript::wholeNumber(map.value(u"quiet"_s));
    if (!began || !open || !quiet)
        return std::nullopt;
    return RequestActivity { *began, *open, *quiet, map.value(u"otherDocument"_s).toBool() };
}

AnswerWait::Verdict AnswerWait::take(const std::optional<RequestActivity> &activity)
{
    if (!activity) {
        m_endedAt.reset();
        m_doubtNoRequest = true;
        return Verdict::wait;
    }
    if (activity->began == 0) {
        if (m_doubtNoRequest || (activity->otherDocument && !m_readOtherDocument)) {
            m_doubtNoRequest = false;
            m_readOtherDocument = m_readOtherDocument || activity->otherDocument;
            return Verdict::wait;
        }
        return Verdict::answered;
    }
    if (activity->open > 0) {
        m_endedAt.reset();
        return Verdict::wait;
    }
    if (activity->quietMilliseconds >= settledMilliseconds || m_endedAt == activity->began)
        return Verdict::answered;
    m_endedAt = activity->began;
    return Verdict::settle;
}

QCoro::Task<QVariant> WebViewScraper::evaluateAction(QString script)
{
    static const QString wrapper = PageScript::load(u"markedaction"_s);
    const QVariant result = co_await evaluateJS(QString(wrapper).replace(u"__ACTION__"_s, script));
    const QVariantMap map = result.typeId() == QMetaType::QVariantMap ? result.toMap() : QVariantMap();
    m_mark = RequestMark::fromScriptValue(map.value(u"mark"_s));
    const QVariant value = map.value(u"value"_s);
    co_return value.typeId() == QMetaType::Nullptr ? QVariant() : value;
}

QCoro::Task<> WebViewScraper::markRequests()
{
    m_mark = RequestMark::fromScriptValue(co_await evaluateJS(
        u"window.__velmoriaRequests ? window.__velmoriaRequests.mark() : null"_s));
}

QCoro::Task<std::optional<RequestActivity>> WebViewScraper::requestActivity()
{
    // While a document loads, a script may still reach the one it replaces.
    if (isLoadUnderWay())
        co_return std::nullopt;
    static const QString script = PageScript::load(u"requeststatus"_s);
    QVariant value;
    try {
        value = co_await evaluateJS(script + u"("_s + PageScript::quoted(m_mark.document) + u", "_s
            + QString::number(m_mark.started) + u", "_s + PageScript::quotedList(m_mark.openRequests) + u")"_s);
    } catch (const JavaScriptError &) {
        // A document replaced under the script: nothing could be read this time.
        co_return std::nullopt;
    }
    co_return RequestActivity::fromScriptValue(value);
}

QCoro::Task<> WebViewScraper::awaitAnswer(double pauseSeconds)
{
    co_await sleep(pauseSeconds);
    double waited = pauseSeconds;
    AnswerWait wait;
    for (;;) {
        const std::optional<RequestActivity> activity = co_await requestActivity();
        const AnswerWait::Verdict verdict = wait.take(activity);
        if (verdict == AnswerWait::Verdict::answered)
            co_return;
        const double pause = verdict == AnswerWait::Verdict::settle ? settleSeconds : answerPollSeconds;
        if (waited + pause > answerLimitSeconds) {
            // Every request has ended, only the settling is left: that is an answer all the same.
            if (activity && activity->open == 0)
                co_return;
            qCWarning(lcScraper, "No answer from the portal after %.1f s", waited);
            throw NoAnswerError();
        }
        if (verdict == AnswerWait::Verdict::wait && waited == pauseSeconds)
            qCInfo(lcScraper, "Waiting for the portal's answer...");
        co_await sleep(pause);
        waited += pause;
    }
}
