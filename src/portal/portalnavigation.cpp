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
    co_await sleep(1.0);

    const QString itemScript = PageScript::withValue(u"regionmenuitem"_s, u"__SHORT_NAME__"_s, shortName);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        const QVariant clicked = co_await evaluateJS(itemScript);
        if (clicked.isValid())
            break;
        co_await sleep(0.5);
    }
    co_await sleep(2.0);
    co_await dismissPopups();
}

QCoro::Task<> WebViewScraper::navigateToSprawy()
{
    qCInfo(lcScraper, "Navigating to Sprawy...");
    const bool clicked = PageScript::boolOr(co_await evaluateAction(PageScript::load(u"sprawylink"_s)), false);
    qCInfo(lcScraper, "clickSprawy result: %s", boolText(clicked));
    if (clicked) {
        co_await awaitAnswer(2.0);
        co_return;
    }

    const QString address = PageScript::textOr(co_await evaluateJS(u"window.location.href"_s), QString());
    const QUrl current(address);
    if (!current.isValid() || current.host().isEmpty())
        co_return;
    // The address may stay in this document (only its "#" part changes) or open another one.
    co_await markRequests();
    co_await loadURL(u"https://"_s + current.host() + u"/#/sprawy"_s);
    co_await awaitAnswer(2.0);
}

QCoro::Task<> WebViewScraper::applyFilters(ScrapeFilters filters)
{
    qCInfo(lcScraper, "Applying filters: status=%s", qUtf8Printable(filters.status));
    co_await sleep(1.0);
    co_await evaluateJS(PageScript::withValue(u"openselect"_s, u"__LABEL__"_s, u"Status"_s));
    co_await sleep(0.5);
    co_await evaluateJS(PageScript::withValue(u"selectoption"_s, u"__VALUE__"_s, filters.status));
    co_await sleep(0.5);
    co_await dismissPopups();

    struct Fill
    {
        const QString &value;
        QString (*builder)(const QString &, const QString &);
        QString label;
    };
    const Fill fills[] = {
        { filters.dataOd, &WebViewScraper::fillInputJS, u"Data wpływu od"_s },
        { filters.dataDo, &WebViewScraper::fillInputJS, u"Data wpływu do"_s },
        { filters.podmiot, &WebViewScraper::fillFieldJS, u"Podmiot"_s },
        { filters.przedmiot, &WebViewScraper::fillFieldJS, u"Przedmiot"_s },
    };
    for (const Fill &fill : fills) {
        // Only an empty text is "not set"; spaces are typed as they are.
        if (fill.value.isEmpty())
            continue;
        co_await evaluateJS(fill.builder(fill.label, fill.value));
        co_await sleep(0.3);
    }
    co_await sleep(0.5);
    // Without a filter button nothing was asked of the portal: the pause is all there is to wait.
    if (PageScript::boolOr(co_await evaluateAction(PageScript::load(u"filterbutton"_s)), false))
        co_await awaitAnswer(2.0);
    else
        co_await sleep(2.0);
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
    if (chosen >= 1)
        co_await awaitAnswer(2.0);
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
    const QJsonObject reading = document.object();
    PaginationInfo info { PageScript::wholeNumber(reading.value(u"current"_s)),
        PageScript::wholeNumber(reading.value(u"total"_s)), std::nullopt };
    const QJsonArray range = reading.value(u"range"_s).toArray();
    if (range.size() == 3) {
        const auto first = PageScript::wholeNumber(range.at(0));
        const auto last = PageScript::wholeNumber(range.at(1));
        const auto count = PageScript::wholeNumber(range.at(2));
        if (first && last && count)
            info.range = PaginatorRange { *first, *last, *count };
    }
    co_return info;
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

QCoro::Task<bool> WebViewScraper::goToNextPage()
{
    co_await evaluateJS(PageScript::load(u"scroll"_s));
    co_await sleep(0.5);
    const bool clicked = PageScript::boolOr(co_await evaluateAction(PageScript::load(u"nextpage"_s)), false);
    if (!clicked) {
        qCInfo(lcScraper, "goToNextPage: no paginator found");
        co_return false;
    }
    qCInfo(lcScraper, "goToNextPage: paginator clicked");
    co_await awaitAnswer(1.5);
    co_return true;
}
