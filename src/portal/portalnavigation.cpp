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

#include "portal/scrapererror.h"
#include "portal/unicodetext.h"

using namespace Qt::StringLiterals;

namespace {

/** The text of the page script ":/scripts/<name>.js"; read once, then kept. */
QString pageScript(const QString &name)
{
    static QHash<QString, QString> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    QFile file(u":/scripts/"_s + name + u".js"_s);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Missing page script %s", qPrintable(name));
    QString text = QString::fromUtf8(file.readAll()).trimmed();
    // The row readers share their row search and text clean-up; both live in their own files.
    if (name != u"findrows"_s && name != u"wellformed"_s) {
        if (text.contains(u"__FIND_ROWS__"_s))
            text.replace(u"__FIND_ROWS__"_s, pageScript(u"findrows"_s));
        if (text.contains(u"__WELL_FORMED__"_s))
            text.replace(u"__WELL_FORMED__"_s, pageScript(u"wellformed"_s));
    }
    cache.insert(name, text);
    return text;
}

/** The script with @p placeholder replaced by @p value as an escaped, single-quoted script string. */
QString pageScript(const QString &name, const QString &placeholder, const QString &value)
{
    QString text = pageScript(name);
    text.replace(placeholder, u"'"_s + WebViewScraper::escapeJS(value) + u"'"_s);
    return text;
}

bool isNumber(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

/** A script value read as an integer: only a number that is whole and fits. */
std::optional<qint64> wholeNumber(const QVariant &value)
{
    if (!isNumber(value))
        return std::nullopt;
    const int type = value.metaType().id();
    if (type == QMetaType::ULongLong || type == QMetaType::ULong) {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    if (type != QMetaType::Double && type != QMetaType::Float)
        return value.toLongLong();
    const double number = value.toDouble();
    // 2^63 itself is out of range; every double below it converts exactly.
    if (!std::isfinite(number) || std::trunc(number) != number || number < -9223372036854775808.0
        || number >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(number);
}

/** A JSON number read as an integer: only a whole number in the range of qint64. */
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

bool isTrue(const QVariant &value) { return value.metaType().id() == QMetaType::Bool && value.toBool(); }

QString textOr(const QVariant &value, const QString &fallback)
{
    return value.metaType().id() == QMetaType::QString ? value.toString() : fallback;
}

const char *boolText(bool value) { return value ? "true" : "false"; }

} // namespace

QCoro::Task<> WebViewScraper::dismissPopups()
{
    qCInfo(lcScraper, "Dismissing popups...");
    for (int pass = 0; pass < 3; ++pass) {
        co_await evaluateJS(pageScript(u"closeoverlays"_s));
        co_await sleep(0.5);
    }
}

QCoro::Task<> WebViewScraper::selectApelacja(QString apelacja)
{
    qCInfo(lcScraper, "Selecting apelacja: %s", qUtf8Printable(apelacja));
    const QString current = textOr(co_await evaluateJS(pageScript(u"currentregion"_s)), QString());
    qCInfo(lcScraper, "Current apelacja: %s", qUtf8Printable(current));

    const QString shortName = QString(apelacja).remove(u"Apelacja "_s);
    if (current.contains(shortName)) {
        qCInfo(lcScraper, "Apelacja already selected");
        co_return;
    }

    const QVariant located = co_await evaluateJS(pageScript(u"regiondropdown"_s));
    const QVariantMap point
        = located.metaType().id() == QMetaType::QVariantMap ? located.toMap() : QVariantMap();
    const std::optional<qint64> x = point.isEmpty() ? std::nullopt : wholeNumber(point.value(u"x"_s));
    const std::optional<qint64> y = point.isEmpty() ? std::nullopt : wholeNumber(point.value(u"y"_s));
    if (!x || !y || *x < std::numeric_limits<int>::min() || *x > std::numeric_limits<int>::max()
        || *y < std::numeric_limits<int>::min() || *y > std::numeric_limits<int>::max())
        throw ScraperError::elementNotFound(u"Apelacja dropdown"_s);

    co_await evaluateJS(clickAtPointJS(static_cast<int>(*x), static_cast<int>(*y)));
    co_await sleep(1.0);

    const QString itemScript = pageScript(u"regionmenuitem"_s, u"__SHORT_NAME__"_s, shortName);
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
    const bool clicked = isTrue(co_await evaluateJS(pageScript(u"sprawylink"_s)));
    qCInfo(lcScraper, "clickSprawy result: %s", boolText(clicked));
    if (clicked) {
        co_await sleep(2.0);
        co_return;
    }

    const QString address = textOr(co_await evaluateJS(u"window.location.href"_s), QString());
    const QUrl current(address);
    if (!current.isValid() || current.host().isEmpty())
        co_return;
    co_await loadURL(u"https://"_s + current.host() + u"/#/sprawy"_s);
    co_await sleep(2.0);
}

QCoro::Task<> WebViewScraper::applyFilters(ScrapeFilters filters)
{
    qCInfo(lcScraper, "Applying filters: status=%s", qUtf8Printable(filters.status));
    co_await sleep(1.0);
    co_await evaluateJS(pageScript(u"openselect"_s, u"__LABEL__"_s, u"Status"_s));
    co_await sleep(0.5);
    co_await evaluateJS(pageScript(u"selectoption"_s, u"__VALUE__"_s, filters.status));
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
    co_await evaluateJS(pageScript(u"filterbutton"_s));
    co_await sleep(2.0);
}

QCoro::Task<> WebViewScraper::setMaxPageSize()
{
    qCInfo(lcScraper, "Setting max page size...");
    const QString outcome = textOr(co_await evaluateJS(pageScript(u"pagesize"_s)), u"?"_s);
    if (outcome != u"clicked-select"_s)
        co_return;
    co_await sleep(0.5);
    const qint64 chosen = wholeNumber(co_await evaluateJS(pageScript(u"largestoption"_s))).value_or(0);
    if (chosen >= 1)
        co_await sleep(2.0);
}

QCoro::Task<qint64> WebViewScraper::getRowCount()
{
    const qint64 count = wholeNumber(co_await evaluateJS(pageScript(u"rowcount"_s))).value_or(0);
    qCInfo(lcScraper, "getRowCount: %lld", static_cast<long long>(count));
    co_return count;
}

QCoro::Task<PaginationInfo> WebViewScraper::getPaginationInfo()
{
    const QVariant value = co_await evaluateJS(pageScript(u"paginator"_s));
    if (value.metaType().id() != QMetaType::QString)
        co_return PaginationInfo {};
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        co_return PaginationInfo {};
    const QJsonObject reading = document.object();
    co_return PaginationInfo { wholeNumber(reading.value(u"current"_s)),
        wholeNumber(reading.value(u"total"_s)) };
}

QCoro::Task<QList<CourtCase>> WebViewScraper::extractPageData()
{
    const QVariant value = co_await evaluateJS(pageScript(u"rows"_s));
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
    co_return textOr(co_await evaluateJS(pageScript(u"signature"_s)), QString());
}

QCoro::Task<bool> WebViewScraper::goToNextPage()
{
    co_await evaluateJS(pageScript(u"scroll"_s));
    co_await sleep(0.5);
    const bool clicked = isTrue(co_await evaluateJS(pageScript(u"nextpage"_s)));
    if (!clicked) {
        qCInfo(lcScraper, "goToNextPage: no paginator found");
        co_return false;
    }
    qCInfo(lcScraper, "goToNextPage: paginator clicked");
    co_await sleep(1.5);
    co_return true;
}
