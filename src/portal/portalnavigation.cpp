// The portal operations after login: pop-ups, region, case list, filters, paginator and table rows.

#include "portal/webviewscraper.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QMetaType>
#include <QUrl>

#include <cmath>
#include <limits>

#include "portal/pagescript.h"
#include "portal/scrapererror.h"
#include "portal/unicodetext.h"

using namespace Qt::StringLiterals;

namespace {

const char *boolText(bool value) { return value ? "true" : "false"; }

constexpr double regionPollSeconds = 0.5;

// The filters' form labels, as the fields are looked for.
const QString dataOdLabel = u"Data wpływu od"_s;
const QString dataDoLabel = u"Data wpływu do"_s;
const QString podmiotLabel = u"Podmiot"_s;
const QString przedmiotLabel = u"Przedmiot"_s;

} // namespace

QCoro::Task<> WebViewScraper::dismissPopups()
{
    qCInfo(lcScraper, "Dismissing popups...");
    for (int pass = 0; pass < 3; ++pass) {
        co_await evaluateJS(PageScript::load(u"closeoverlays"_s));
        co_await sleep(0.5);
    }
}

QCoro::Task<> WebViewScraper::selectApelacja(QString apelacja)
{
    qCInfo(lcScraper, "Selecting apelacja: %s", qUtf8Printable(apelacja));
    const QString current = PageScript::textOr(co_await evaluateJS(PageScript::load(u"currentregion"_s)), QString());
    qCInfo(lcScraper, "Current apelacja: %s", qUtf8Printable(current));

    const QString shortName = QString(apelacja).remove(u"Apelacja "_s);
    if (current.contains(shortName)) {
        qCInfo(lcScraper, "Apelacja already selected");
        co_return;
    }

    const QVariant located = co_await evaluateJS(PageScript::load(u"regiondropdown"_s));
    const QVariantMap point
        = located.metaType().id() == QMetaType::QVariantMap ? located.toMap() : QVariantMap();
    const std::optional<qint64> x = point.isEmpty() ? std::nullopt : PageScript::wholeNumber(point.value(u"x"_s));
    const std::optional<qint64> y = point.isEmpty() ? std::nullopt : PageScript::wholeNumber(point.value(u"y"_s));
    if (!x || !y || *x < std::numeric_limits<int>::min() || *x > std::numeric_limits<int>::max()
        || *y < std::numeric_limits<int>::min() || *y > std::numeric_limits<int>::max())
        throw ScraperError::elementNotFound(u"Apelacja dropdown"_s);

    co_await evaluateJS(clickAtPointJS(static_cast<int>(*x), static_cast<int>(*y)));

    // The menu may open late, and its item may take a while to change the header: both are waited for, up to
    // the step's limit. A region that never shows ends the run, or its cases would go under another's name.
    double waited = 1.0;
    co_await sleep(waited);
    const auto waitOn = [this, &waited, &apelacja]() -> QCoro::Task<> {
        if (waited + regionPollSeconds > answerLimitSeconds) {
            qCWarning(lcScraper, "The region %s did not show", qUtf8Printable(apelacja));
            throw ScraperError::elementNotFound(apelacja);
        }
        co_await sleep(regionPollSeconds);
        waited += regionPollSeconds;
    };
    const QString itemScript = PageScript::withValue(u"regionmenuitem"_s, u"__SHORT_NAME__"_s, shortName);
    while (!PageScript::boolOr(co_await evaluateJS(itemScript), false))
        co_await waitOn();
    co_await sleep(2.0);
    waited += 2.0;
    const QString currentScript = PageScript::load(u"currentregion"_s);
    while (!PageScript::textOr(co_await evaluateJS(currentScript), QString()).contains(shortName))
        co_await waitOn();
    co_await dismissPopups();
}

QUrl WebViewScraper::caseListAddress(const QUrl &current) const
{
    QUrl address(u"https://"_s + current.host() + u"/#/sprawy"_s);
    if (m_caseListKeepsOriginForTesting) {
        address.setScheme(current.scheme());
        address.setPort(current.port());
    }
    return address;
}

QStringList WebViewScraper::fieldsToFill(const ScrapeFilters &filters)
{
    QStringList fields;
    if (filters.status != u"Wszystkie"_s)
        fields.append(u"Status"_s);
    for (const auto &[value, label] : { std::pair(filters.dataOd, dataOdLabel), std::pair(filters.dataDo, dataDoLabel),
             std::pair(filters.podmiot, podmiotLabel), std::pair(filters.przedmiot, przedmiotLabel) }) {
        // Only an empty text is "not set"; spaces are typed as they are.
        if (!value.isEmpty())
            fields.append(label);
    }
    return fields;
}

QCoro::Task<> WebViewScraper::navigateToSprawy(ScrapeFilters filters)
{
    qCInfo(lcScraper, "Navigating to Sprawy...");
    const bool clicked = PageScript::boolOr(co_await evaluateAction(PageScript::load(u"sprawylink"_s)), false);
    qCInfo(lcScraper, "clickSprawy result: %s", boolText(clicked));
    if (!clicked) {
        const QString address = PageScript::textOr(co_await evaluateJS(u"window.location.href"_s), QString());
        const QUrl current(address);
        if (!current.isValid() || current.host().isEmpty())
            throw NoAnswerError(NoAnswerError::Step::caseList);
        // The address may stay in this document (only its "#" part changes) or open another one.
        co_await markRequests();
        co_await loadURL(caseListAddress(current).toString());
    }
    const QStringList fields = fieldsToFill(filters);
    const StepOutcome outcome = co_await awaitStep(
        StepGoal::caseList(fields, !fields.isEmpty()), 2.0, caseListLimitSeconds);
    if (outcome.verdict == StepWait::Verdict::missingField)
        throw ScraperError::elementNotFound(outcome.missingField);
    if (outcome.verdict != StepWait::Verdict::done)
        throw NoAnswerError(NoAnswerError::Step::caseList);
    m_answeredEmpty = outcome.list && outcome.list->rows == 0;
}

QCoro::Task<> WebViewScraper::applyFilters(ScrapeFilters filters)
{
    qCInfo(lcScraper, "Applying filters: status=%s", qUtf8Printable(filters.status));
    // "Wszystkie" is no filter: where the page has no status, or not that option, nothing is missing.
    const bool statusSet = filters.status != u"Wszystkie"_s;
    co_await sleep(1.0);
    const bool opened = PageScript::boolOr(
        co_await evaluateJS(PageScript::withValue(u"openselect"_s, u"__LABEL__"_s, u"Status"_s)), false);
    if (!opened && statusSet)
        throw ScraperError::elementNotFound(u"Status"_s);
    co_await sleep(0.5);
    const bool chosen = opened
        && PageScript::boolOr(
            co_await evaluateJS(PageScript::withValue(u"selectoption"_s, u"__VALUE__"_s, filters.status)), false);
    if (!chosen && statusSet)
        throw ScraperError::elementNotFound(filters.status);
    co_await sleep(0.5);
    co_await dismissPopups();

    struct Fill
    {
        const QString &value;
        QString (*builder)(const QString &, const QString &);
        const QString &label;
        QString control;
    };
    const Fill fills[] = {
        { filters.dataOd, &WebViewScraper::fillInputJS, dataOdLabel, u"input"_s },
        { filters.dataDo, &WebViewScraper::fillInputJS, dataDoLabel, u"input"_s },
        { filters.podmiot, &WebViewScraper::fillFieldJS, podmiotLabel, u"input, textarea"_s },
        { filters.przedmiot, &WebViewScraper::fillFieldJS, przedmiotLabel, u"input, textarea"_s },
    };
    QStringList filled;
    for (const Fill &fill : fills) {
        // Only an empty text is "not set"; spaces are typed as they are.
        if (fill.value.isEmpty())
            continue;
        if (!PageScript::boolOr(co_await evaluateJS(fill.builder(fill.label, fill.value)), false))
            throw ScraperError::elementNotFound(fill.label);
        filled.append(PageScript::quotedList({ fill.label, fill.control }));
        co_await sleep(0.3);
    }
    co_await sleep(0.5);
    // A value the page reformats (a date picker's) still counts; one it has emptied, or a status it did not
    // take, does not: the search would run without it.
    static const QString inPlaceScript = PageScript::load(u"filtersinplace"_s);
    const QString missing = PageScript::textOr(co_await evaluateJS(inPlaceScript + u"(["_s + filled.join(u", "_s)
        + u"], "_s + PageScript::quoted(statusSet ? filters.status : QString()) + u")"_s), QString());
    if (!missing.isEmpty())
        throw ScraperError::elementNotFound(missing);

    if (!PageScript::boolOr(co_await evaluateAction(PageScript::load(u"filterbutton"_s)), false)) {
        if (statusSet || !filled.isEmpty())
            throw ScraperError::elementNotFound(u"przycisk wyszukiwania"_s);
        // Nothing was asked of the portal: the pause is all there is to wait.
        co_await sleep(2.0);
        co_return;
    }
    const StepOutcome outcome = co_await awaitStep(StepGoal::answer(), 2.0, answerLimitSeconds);
    if (outcome.verdict != StepWait::Verdict::done) {
        qCWarning(lcScraper, "No answer to the search");
        throw NoAnswerError(NoAnswerError::Step::search);
    }
    m_answeredEmpty = outcome.list && outcome.list->rows == 0;
}

QCoro::Task<bool> WebViewScraper::isEmptyResultShown()
{
    const std::optional<ListReading> list
        = ListReading::fromScriptValue(co_await evaluateJS(u"("_s + PageScript::load(u"readlist"_s) + u")()"_s));
    co_return list && (list->showsEmptyResult() || (list->rows == 0 && !list->countsCases() && m_answeredEmpty));
}

QCoro::Task<> WebViewScraper::setMaxPageSize()
{
    qCInfo(lcScraper, "Setting max page size...");
    const QString outcome = PageScript::textOr(co_await evaluateJS(PageScript::load(u"pagesize"_s)), u"?"_s);
    if (outcome != u"clicked-select"_s)
        co_return;
    co_await sleep(0.5);
    const qint64 chosen
        = PageScript::wholeNumber(co_await evaluateAction(PageScript::load(u"largestoption"_s))).value_or(0);
    if (chosen < 1)
        co_return;
    // A portal that caps the size, or shows no range, goes on after the limit: the page loop copes with the size.
    const StepOutcome sized
        = co_await awaitStep(StepGoal::pageSizeOf(chosen), 2.0, answerLimitSeconds);
    if (sized.verdict != StepWait::Verdict::done)
        qCInfo(lcScraper, "The page size %lld did not show", static_cast<long long>(chosen));
}

QCoro::Task<qint64> WebViewScraper::getRowCount()
{
    const qint64 count = PageScript::wholeNumber(co_await evaluateJS(PageScript::load(u"rowcount"_s))).value_or(0);
    qCInfo(lcScraper, "getRowCount: %lld", static_cast<long long>(count));
    co_return count;
}

QCoro::Task<PaginationInfo> WebViewScraper::getPaginationInfo()
{
    const QVariant value = co_await evaluateJS(PageScript::load(u"paginator"_s));
    if (value.metaType().id() != QMetaType::QString)
        co_return PaginationInfo {};
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        co_return PaginationInfo {};
    co_return PaginationInfo::fromScriptValue(document.object().toVariantMap());
}

QCoro::Task<QList<CourtCase>> WebViewScraper::extractPageData()
{
    const QVariant value = co_await evaluateJS(PageScript::load(u"rows"_s));
    QList<CourtCase> cases;
    bool readable = value.metaType().id() == QMetaType::QString;
    QJsonArray rows;
    if (readable) {
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8(), &error);
        readable = error.error == QJsonParseError::NoError && document.isArray();
        rows = document.array();
    }
    QList<QStringList> cells;
    for (qsizetype r = 0; readable && r < rows.size(); ++r) {
        if (!rows.at(r).isArray()) {
            readable = false;
            break;
        }
        const QJsonArray row = rows.at(r).toArray();
        QStringList texts;
        texts.reserve(row.size());
        for (const QJsonValue &cell : row) {
            if (!cell.isString()) {
                readable = false;
                break;
            }
            texts.append(UnicodeText::replacingLoneSurrogates(cell.toString()));
        }
        cells.append(texts);
    }
    if (!readable) {
        qCInfo(lcScraper, "extractPageData: no data found");
        co_return cases;
    }
    qCInfo(lcScraper, "extractPageData: found %lld rows", static_cast<long long>(cells.size()));
    cases.reserve(cells.size());
    for (const QStringList &texts : std::as_const(cells))
        cases.append(CourtCase(texts));
    co_return cases;
}

QCoro::Task<QString> WebViewScraper::pageSignature()
{
    co_return PageScript::textOr(co_await evaluateJS(PageScript::load(u"signature"_s)), QString());
}
