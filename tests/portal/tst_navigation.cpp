#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "logcapture.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

/** Remembers and blocks every https address the engine is asked to fetch (nothing serves them). */
class HttpsRequests : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.requestUrl().scheme() == u"https"_s) {
            urls.append(info.requestUrl());
            info.block(true);
        }
    }

    QList<QUrl> urls;
};

/** A case as the portal's table shows it, keyed as the controller de-duplicates it. */
QString caseKey(const QString &sygnatura, const QString &sad)
{
    return sygnatura.trimmed() + u"|"_s + sad.trimmed();
}

QStringList fieldsOfPortalCase(const QJsonObject &item)
{
    QStringList parties;
    for (const QJsonValue &party : item.value(u"glownePodmioty"_s).toArray())
        parties.append(party.toString());
    return { item.value(u"sygnatura"_s).toString(), item.value(u"sad"_s).toString(),
        item.value(u"wydzial"_s).toString(), item.value(u"przedmiot"_s).toString(), parties.join(u", "_s),
        item.value(u"referent"_s).toString(), item.value(u"dataWplywu"_s).toString(),
        item.value(u"dataZakonczenia"_s).toString(), item.value(u"status"_s).toString() };
}

QJsonArray rowsJson(const QList<QStringList> &rows)
{
    QJsonArray json;
    for (const QStringList &cells : rows)
        json.append(QJsonArray::fromStringList(cells));
    return json;
}

/** A JavaScript literal for @p value (JSON is valid JavaScript for strings and arrays). */
QString jsLiteral(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

// Builds a table of rows of cells from JSON: each cell text's lines become block elements.
// Layouts: "mat" (mat-row/mat-cell), "table" (plain table, header in thead), "role" (role=row divs),
// "cdk" (cdk-row/cdk-cell).
const QString buildTableScript = uR"((function(layout, rows) {
    var tags = {
        mat: ['mat-table', 'mat-row', 'mat-cell'],
        table: ['table', 'tr', 'td'],
        role: ['div', 'div', 'div'],
        cdk: ['cdk-table', 'cdk-row', 'cdk-cell']
    }[layout];
    var table = document.createElement(tags[0]);
    var body = table;
    if (layout === 'table') {
        var head = document.createElement('thead');
        head.innerHTML = '<tr><th>Sygnatura</th><th>Przedmiot</th><th>Referent</th></tr>';
        table.appendChild(head);
        body = document.createElement('tbody');
        table.appendChild(body);
    }
    rows.forEach(function(cells) {
        var row = document.createElement(tags[1]);
        if (layout === 'role') row.setAttribute('role', 'row');
        if (layout === 'mat') row.className = 'mat-mdc-row';
        cells.forEach(function(text) {
            var cell = document.createElement(tags[2]);
            if (layout === 'role') cell.setAttribute('role', 'cell');
            if (text.indexOf('PRE:') === 0) {
                var pre = document.createElement('div');
                pre.style.whiteSpace = 'pre';
                pre.textContent = text.substring(4);
                cell.appendChild(pre);
            } else {
                text.split('\n').forEach(function(line) {
                    var block = document.createElement('div');
                    block.textContent = line;
                    cell.appendChild(block);
                });
            }
            row.appendChild(cell);
        });
        body.appendChild(row);
    });
    document.body.appendChild(table);
    return document.querySelectorAll(layout === 'role' ? '[role="row"]' : tags[1]).length;
}))"_s;

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_storage;
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<WebViewScraper> m_scraper;
    std::shared_ptr<CancellationToken> m_token;
    HttpsRequests *m_requests = nullptr;
    int m_loads = 0;

    QVariant evaluate(const QString &script) { return runTask(m_scraper->evaluateJS(script)); }

    /** The portal application with its test variants; a fresh document every time. */
    void openApp(const QString &route = u"/"_s, const QString &region = u"wrocławska"_s,
        const QString &popups = {}, const QString &nav = {}, const QString &menuCase = {})
    {
        QUrlQuery query;
        query.addQueryItem(u"region"_s, region);
        query.addQueryItem(u"popups"_s, popups);
        query.addQueryItem(u"nav"_s, nav);
        query.addQueryItem(u"menuCase"_s, menuCase);
        query.addQueryItem(u"load"_s, QString::number(++m_loads));
        QUrl url = m_portal->url(u"/app"_s);
        url.setQuery(query);
        url.setFragment(route);
        runTask(m_scraper->loadURL(url.toString(QUrl::FullyEncoded)));
        QTRY_VERIFY(evaluate(u"document.readyState"_s).toString() == u"complete"_s);
    }

    /** A page of our own making, for layouts the portal application does not show. */
    void showPage(const QString &body)
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"_s
                + body + u"</body></html>"_s,
            QUrl(u"http://crafted.test/"_s));
        QVERIFY(loaded.wait(20000));
    }

    int buildTable(const QString &layout, const QJsonArray &rows)
    {
        return evaluate(buildTableScript + u"("_s + jsLiteral(layout) + u", "_s + jsLiteral(rows) + u")"_s)
            .toInt();
    }

    /** The portal's own list of cases for a filtered query. */
    QJsonArray portalCases(const QUrlQuery &query)
    {
        QNetworkAccessManager manager;
        QUrl url = m_portal->url(u"/api/sprawy/all"_s);
        url.setQuery(query);
        QNetworkReply *reply = manager.get(QNetworkRequest(url));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished() && !finished.wait(10000))
            return {};
        const QJsonArray cases = QJsonDocument::fromJson(reply->readAll()).array();
        reply->deleteLater();
        return cases;
    }

    int overlayCount()
    {
        return evaluate(u"document.querySelector('.cdk-overlay-container').children.length"_s).toInt();
    }

    void countClicks()
    {
        evaluate(u"(function() { window.clickCount = 0;"
                 " document.addEventListener('click', function() { window.clickCount++; }, true); })()"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_storage = std::make_unique<QTemporaryDir>();
        QVERIFY(m_storage->isValid());
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
        m_scraper = std::make_unique<WebViewScraper>(m_portal->url(u"/login"_s), m_storage->path());
        m_requests = new HttpsRequests(m_scraper.get());
        m_scraper->profile()->setUrlRequestInterceptor(m_requests);
        setPauseScaleForTesting(0.02);
    }

    void cleanupTestCase()
    {
        m_scraper->profile()->setUrlRequestInterceptor(nullptr);
        m_scraper.reset();
        m_portal.reset();
        setPauseScaleForTesting(1.0);
    }

    void init()
    {
        m_token = std::make_shared<CancellationToken>();
        m_scraper->setCancellationToken(m_token);
        m_requests->urls.clear();
        QVERIFY(m_portal->reset());
    }

    // Close buttons, buttons by their words and the Escape key each close their kind of pop-up.
    void dismissPopupsClosesEveryKind()
    {
        openApp(u"/"_s, u"wrocławska"_s, u"1"_s);
        QCOMPARE(evaluate(u"document.querySelectorAll('.cdk-overlay-pane').length"_s).toInt(), 4);
        LogCapture log(lcScraper());
        runTask(m_scraper->dismissPopups());
        QCOMPARE(log.messages(), QStringList { u"Dismissing popups..."_s });
        QTRY_COMPARE(overlayCount(), 0);
        const QVariantList closed = evaluate(u"window.closedPopups"_s).toList();
        QMap<QString, QString> how;
        for (const QVariant &entry : closed)
            how.insert(entry.toMap().value(u"kind"_s).toString(), entry.toMap().value(u"how"_s).toString());
        QCOMPARE(how.value(u"dialog-close"_s), u"button"_s);
        QCOMPARE(how.value(u"dialog-understood"_s), u"button"_s);
        QCOMPARE(how.value(u"snack-bar"_s), u"button"_s);
        QCOMPARE(how.value(u"tooltip"_s), u"escape"_s);
        QCOMPARE(closed.size(), 4);
    }

    void regionSelection_data()
    {
        QTest::addColumn<QString>("header"); // the region the portal shows; "none": no region control
        QTest::addColumn<QString>("menuCase");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("shown"); // the header afterwards; empty when the selection fails
        QTest::newRow("already selected") << u"wrocławska"_s << QString() << u"Apelacja wrocławska"_s
                                          << u"Apelacja wrocławska"_s;
        QTest::newRow("from the menu") << u"wrocławska"_s << QString() << u"Apelacja gdańska"_s << u"Apelacja gdańska"_s;
        QTest::newRow("menu in capitals") << u"wrocławska"_s << u"upper"_s << u"Apelacja łódzka"_s
                                          << u"Apelacja łódzka"_s;
        QTest::newRow("no such menu item") << u"wrocławska"_s << QString() << u"Apelacja opolska"_s
                                           << u"Apelacja wrocławska"_s;
        QTest::newRow("no region control") << u"none"_s << QString() << u"Apelacja gdańska"_s << QString();
    }

    void regionSelection()
    {
        QFETCH(QString, header);
        QFETCH(QString, menuCase);
        QFETCH(QString, wanted);
        QFETCH(QString, shown);
        openApp(u"/"_s, header, {}, {}, menuCase);
        countClicks();
        const bool already = wanted == u"Apelacja "_s + header;
        // Already selected: no click and no pause may follow (a pause would throw).
        if (already)
            m_token->cancel();
        LogCapture log(lcScraper());
        if (shown.isEmpty()) {
            try {
                runTask(m_scraper->selectApelacja(wanted));
                QFAIL("selectApelacja passed without a region control");
            } catch (const ScraperError &error) {
                QCOMPARE(error.kind(), ScraperError::Kind::ElementNotFound);
                QCOMPARE(error.errorDescription(), u"Nie znaleziono elementu: Apelacja dropdown"_s);
            }
            return;
        }
        runTask(m_scraper->selectApelacja(wanted));
        QCOMPARE(evaluate(u"document.querySelector('.region-text').textContent"_s).toString(), shown);
        QCOMPARE(overlayCount(), 0);
        const QStringList messages = log.messages();
        QCOMPARE(messages.value(0), u"Selecting apelacja: "_s + wanted);
        QVERIFY2(messages.value(1).startsWith(u"Current apelacja: Apelacja "_s + header), qPrintable(messages.value(1)));
        if (already) {
            QCOMPARE(messages.mid(2), QStringList { u"Apelacja already selected"_s });
            QCOMPARE(evaluate(u"window.clickCount"_s).toInt(), 0);
            return;
        }
        QCOMPARE(messages.mid(2), QStringList { u"Dismissing popups..."_s });
        QVERIFY(evaluate(u"window.clickCount"_s).toInt() > 0);
        // An item that is not there: five tries, then the open menu goes with the pop-ups, no error.
        if (shown != wanted)
            QCOMPARE(evaluate(u"window.closedPopups.map(function(p) { return p.kind + ':' + p.how; }).join()"_s)
                         .toString(),
                     u"region-menu:escape"_s);
    }

    // Of two candidates of equal size the first in the document is clicked; a point that is not
    // a whole number is no point.
    void regionControlChoice()
    {
        showPage(uR"(<style>span { display: block; width: 150px; height: 20px; }</style>
<div style="position:absolute;top:10px;left:10px;width:200px;height:30px;cursor:pointer"
  onclick="window.chosen='first'"><span>Apelacja krakowska</span></div>
<div style="position:absolute;top:10px;left:400px;width:200px;height:30px;cursor:pointer"
  onclick="window.chosen='second'"><span>Apelacja lubelska</span></div>)"_s);
        // The current-region text is the first one; "gdańska" is not in it.
        runTask(m_scraper->selectApelacja(u"Apelacja gdańska"_s));
        QCOMPARE(evaluate(u"window.chosen"_s).toString(), u"first"_s);
    }

    void caseList_data()
    {
        QTest::addColumn<QString>("nav"); // the portal's navigation variant; "blank": a page without host
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("link") << QString() << true << QString();
        // Neither a link without width nor one 350 pixels or more from the left counts; the fallback
        // goes to https on the same host, without port, path or query.
        QTest::newRow("fallback") << u"far"_s << false << u"https://127.0.0.1/#/sprawy"_s;
        QTest::newRow("no host") << u"blank"_s << false << QString();
    }

    // The case-list link is clicked, else the fallback address loaded (nothing serves https here,
    // so the address the engine was asked for is checked).
    void caseList()
    {
        QFETCH(QString, nav);
        QFETCH(bool, clicked);
        QFETCH(QString, loaded);
        if (nav == u"blank"_s) {
            runTask(m_scraper->loadURL(u"about:blank"_s));
            m_token->cancel(); // no pause may follow
        } else {
            openApp(u"/"_s, u"wrocławska"_s, {}, nav);
        }
        LogCapture log(lcScraper());
        runTask(m_scraper->navigateToSprawy());
        QCOMPARE(log.messages(),
            (QStringList { u"Navigating to Sprawy..."_s, u"clickSprawy result: "_s + (clicked ? u"true"_s : u"false"_s) }));
        if (clicked)
            QCOMPARE(evaluate(u"location.hash"_s).toString(), u"#/sprawy"_s);
        QCOMPARE(m_requests->urls, loaded.isEmpty() ? QList<QUrl>() : QList<QUrl> { QUrl(loaded) });
    }

    void filtersReachFields_data()
    {
        // The five filters joined by "|" (status, dataOd, dataDo, podmiot, przedmiot).
        QTest::addColumn<QString>("filters");
        QTest::addColumn<QString>("statusChosen");
        QTest::newRow("all set") << u"W toku|2021-01-01|2023-12-31|Kowalski|o zapłatę"_s << u"W toku"_s;
        QTest::newRow("none set") << u"Wszystkie||||"_s << u"Wszystkie"_s;
        QTest::newRow("spaces count as set, unknown status takes the first option")
            << u"Zawieszone||2022-06-30|   |"_s << u"Wszystkie"_s;
        QTest::newRow("quotes, backslash and lines")
            << u"Zakończone|||O'Neil \\ \"Świt\"|zażółć\n'gęślą' \\n jaźń"_s << u"Zakończone"_s;
    }

    // Every set filter is typed into its own field, with its events; the filter button then applies
    // exactly those values, and the portal's table shows the filtered count.
    void filtersReachFields()
    {
        QFETCH(QString, filters);
        QFETCH(QString, statusChosen);
        const QStringList values = filters.split(u'|');
        openApp(u"/sprawy"_s);
        LogCapture log(lcScraper());
        runTask(m_scraper->applyFilters(ScrapeFilters { values[0], values[1], values[2], values[3], values[4] }));
        QCOMPARE(log.messages().value(0), u"Applying filters: status="_s + values[0]);
        QCOMPARE(m_portal->valuesOf(u"filter"_s, u"status"_s), QStringList { statusChosen });
        const QStringList buttonPresses = m_portal->valuesOf(u"filter"_s, u"button"_s);
        QCOMPARE(buttonPresses.size(), 1);
        const QJsonObject applied = QJsonDocument::fromJson(buttonPresses.first().toUtf8()).object();
        QCOMPARE(applied.value(u"status"_s).toString(), statusChosen);

        const QStringList names = { u"status"_s, u"dataOd"_s, u"dataDo"_s, u"podmiot"_s, u"przedmiot"_s };
        QUrlQuery query { { u"region"_s, u"wrocławska"_s }, { u"status"_s, statusChosen } };
        for (int i = 1; i < 5; ++i) {
            // The dates are inputs and lose focus; the other two fields take input and change only.
            const QStringList events = i <= 2 ? QStringList { u"input"_s, u"change"_s, u"blur"_s }
                                              : QStringList { u"input"_s, u"change"_s };
            QStringList seen;
            for (const QJsonValue &record : m_portal->recordsOf(u"filter"_s, names[i])) {
                seen.append(record.toObject().value(u"event"_s).toString());
                QCOMPARE(record.toObject().value(u"value"_s).toString(), values[i]);
            }
            QCOMPARE(seen, values[i].isEmpty() ? QStringList() : events);
            QCOMPARE(applied.value(names[i]).toString(), values[i]);
            query.addQueryItem(names[i], values[i]);
        }
        QCOMPARE(overlayCount(), 0); // the status panel closed again
        QVERIFY(evaluate(u"document.querySelector('.range').textContent"_s)
                    .toString()
                    .endsWith(u" z "_s + QString::number(portalCases(query).size()) + u" elementów"_s));
    }

    void largestOption_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("picked");
        const QString select = u"<div class='pagination'><mat-select onclick='window.opened=true'>10</mat-select></div>"_s;
        QTest::newRow("sizes") << select + u"<mat-option>10</mat-option><mat-option>25</mat-option>"
                                           "<mat-option>100 / stronę</mat-option><mat-option>50</mat-option>"_s
                               << u"2:100 / stronę"_s;
        QTest::newRow("equal numbers: the first") << select + u"<mat-option>20</mat-option><mat-option>20</mat-option>"_s
                                                  << u"0:20"_s;
        QTest::newRow("no digits") << select + u"<mat-option>wszystkie</mat-option><mat-option>x10</mat-option>"_s
                                   << QString();
        QTest::newRow("no paginator") << u"<mat-option>100</mat-option>"_s << QString();
    }

    // The option with the largest leading number is picked; without a paginator nothing is opened
    // and no pause is made (a pause would throw, the token being cancelled).
    void largestOption()
    {
        QFETCH(QString, html);
        QFETCH(QString, picked);
        showPage(html
            + u"<script>document.querySelectorAll('mat-option').forEach(function(o, i) {"
              " o.onclick = function() { window.picked = (window.picked || '') + i + ':' + o.textContent; }; });</script>"_s);
        const bool hasPaginator = html.contains(u"pagination"_s);
        if (!hasPaginator)
            m_token->cancel();
        runTask(m_scraper->setMaxPageSize());
        QCOMPARE(evaluate(u"!!window.opened"_s).toBool(), hasPaginator);
        QCOMPARE(evaluate(u"window.picked || ''"_s).toString(), picked);
    }

    void paginatorTexts_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<std::optional<qint64>>("current");
        QTest::addColumn<std::optional<qint64>>("total");
        using Page = std::optional<qint64>;
        const Page none;
        const auto paginator = [](const QString &text) {
            return u"<div class='mat-mdc-paginator'><span>"_s + text + u"</span></div>"_s;
        };
        QTest::newRow("first page") << paginator(u"1 - 10 z 1730 elementów"_s) << Page(1) << Page(173);
        QTest::newRow("rounded up") << paginator(u"11 - 20 z 25"_s) << Page(2) << Page(3);
        QTest::newRow("empty") << paginator(u"0 - 0 z 0"_s) << Page(0) << Page(0);
        QTest::newRow("page size zero") << paginator(u"5 - 4 z 10"_s) << none << none;
        QTest::newRow("reversed") << paginator(u"5 - 2 z 10"_s) << Page(-2) << Page(-5);
        QTest::newRow("beyond the end") << paginator(u"11 - 20 z 5"_s) << Page(2) << Page(1);
        QTest::newRow("slash") << paginator(u"3 / 12"_s) << Page(3) << Page(12);
        QTest::newRow("z") << paginator(u"Strona 3 z 12"_s) << Page(3) << Page(12);
        QTest::newRow("no numbers") << paginator(u"Brak stron"_s) << none << none;
        QTest::newRow("too big for 64 bits") << paginator(u"1 - 1 z 99999999999999999999999"_s) << Page(1) << none;
        QTest::newRow("pagination element") << u"<sh-pagination>21 - 30 z 31</sh-pagination>"_s << Page(3) << Page(4);
        QTest::newRow("no paginator") << u"<p>1 - 10 z 100</p>"_s << none << none;
    }

    void paginatorTexts()
    {
        QFETCH(QString, html);
        QFETCH(std::optional<qint64>, current);
        QFETCH(std::optional<qint64>, total);
        showPage(html);
        const PaginationInfo info = runTask(m_scraper->getPaginationInfo());
        QCOMPARE(info.current, current);
        QCOMPARE(info.total, total);
    }

    // Rows are given with their cells, and expected records with their nine fields, joined by "|".
    void cellLayout_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("four-line first cell")
            << u"mat"_s
            << QStringList { u"I C 1/24\nSąd Rejonowy\nI Wydział\nCywilny|o zapłatę\nJan\nAnna|SSR Nowak|2024-01-02\n2024-02-03|\u25CF W toku"_s }
            << QStringList { u"I C 1/24|Sąd Rejonowy|I Wydział Cywilny|o zapłatę|Jan, Anna|SSR Nowak|2024-01-02|2024-02-03|W toku"_s };
        QTest::newRow("one-line cells") << u"mat"_s << QStringList { u"II K 5/23|o eksmisję||2023-05-05\n-|"_s }
                                        << QStringList { u"II K 5/23|||o eksmisję|||2023-05-05||"_s };
        QTest::newRow("referent lines keep their inner spaces")
            << u"mat"_s << QStringList { u"A|B|PRE:SSO Jan \n Wiśniewski"_s }
            << QStringList { u"A|||B||SSO Jan   Wiśniewski|||"_s };
        QTest::newRow("three cells, then two") << u"mat"_s << QStringList { u"A\nB|C|D"_s, u"X|Y"_s }
                                               << QStringList { u"A|B||C||D|||"_s };
        QTest::newRow("bullets and icons")
            << u"mat"_s
            << QStringList { u"I C 9/20\nexpand_more|o zapłatękeyboard_double_arrow_down|R|2020-01-01\n-\narrow_drop_down|"
                             "\u25CF\u25CB\u25C9\u2B24\u25A0\u25A1\u25AA\u25AB Zakończone\nkeyboard_arrow_down"_s }
            << QStringList { u"I C 9/20|||o zapłatę||R|2020-01-01||Zakończone"_s };
        QTest::newRow("header rows skipped") << u"mat"_s
                                             << QStringList { u"Sygnatura / Sąd|Przedmiot|Referent"_s, u"Lp.|x|y"_s, u"Lp. 1|x|y"_s }
                                             << QStringList { u"Lp. 1|||x||y|||"_s };
        QTest::newRow("plain table") << u"table"_s
                                     << QStringList { u"III Ca 7/22\nSąd Okręgowy|<b>&amp; \"x\" 'y'|R|2022-02-02\n-|\u25A0 W toku"_s }
                                     << QStringList { u"III Ca 7/22|Sąd Okręgowy||<b>&amp; \"x\" 'y'||R|2022-02-02||W toku"_s };
        QTest::newRow("role rows") << u"role"_s << QStringList { u"A|B|C|D|E|F"_s } << QStringList { u"A|||B||C|D||E"_s };
        QTest::newRow("cdk rows") << u"cdk"_s << QStringList { u"A|B|C|D\nE"_s } << QStringList { u"A|||B||C|D|E|"_s };
        QTest::newRow("lone surrogate") << u"mat"_s << QStringList { u"I C 1/24|o zapłatę|R"_s }
                                        << QStringList { u"I C 1/24|||o zapłat\uFFFD||R|||"_s };
        QTest::newRow("no rows") << u"mat"_s << QStringList() << QStringList();
    }

    // The cells of a row become the nine fields by their lines, whatever the table's markup.
    void cellLayout()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        showPage({});
        QList<QStringList> cells;
        for (const QString &row : std::as_const(rows))
            cells.append(row.split(u'|'));
        QCOMPARE(buildTable(layout, rowsJson(cells)),
            static_cast<int>(rows.size()) + (layout == u"table"_s ? 1 : 0));
        if (QTest::currentDataTag() == QByteArray("lone surrogate")) {
            // A lone high surrogate in place of the last letter of the subject.
            evaluate(u"(function() { var c = document.querySelectorAll('mat-cell')[1].firstChild;"
                     " c.textContent = 'o zapłat' + String.fromCharCode(0xD800); })()"_s);
        }
        LogCapture log(lcScraper());
        const QList<CourtCase> cases = runTask(m_scraper->extractPageData());
        QStringList values;
        for (const CourtCase &record : cases)
            values.append(record.columnValues().join(u'|'));
        QCOMPARE(values, expected);
        QCOMPARE(log.messages(), QStringList { u"extractPageData: found %1 rows"_s.arg(expected.size()) });
    }

    void signature_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::newRow("mat") << u"mat"_s;
        QTest::newRow("table") << u"table"_s;
        QTest::newRow("role") << u"role"_s;
        QTest::newRow("cdk") << u"cdk"_s;
    }

    // The signature counts the rows the row reader reads, whatever the markup, and changes with
    // the rows' content.
    void signature()
    {
        QFETCH(QString, layout);
        showPage({});
        QJsonArray rows;
        for (int i = 1; i <= 5; ++i)
            rows.append(QJsonArray::fromStringList(
                { u"I C %1/24"_s.arg(i), u"o zapłatę"_s, u"SSR Nowak"_s, u"2024-01-0%1"_s.arg(i) }));
        buildTable(layout, rows);
        const QString before = runTask(m_scraper->pageSignature());
        QCOMPARE(runTask(m_scraper->extractPageData()).size(), 5);
        // Five rows (a plain table's header row sits in its head), the first three in the text.
        QVERIFY2(before.startsWith(u"5:I C 1/24"_s) && before.contains(u"I C 3/24"_s) && !before.contains(u"I C 4/24"_s),
                 qPrintable(before));
        if (layout == u"mat"_s) {
            // On mat-row tables the signature is the one of the portal's own row selector.
            const QString portalSignature = evaluate(uR"((function() {
                var rows = document.querySelectorAll('mat-row, .mat-row, .mat-mdc-row, tr[mat-row]');
                var text = '';
                for (var i = 0; i < rows.length && i < 3; i++) text += rows[i].innerText.trim().substring(0, 100);
                return rows.length + ':' + text;
            })())"_s)
                                                .toString();
            QCOMPARE(before, portalSignature);
        }
        evaluate(u"(function() { document.body.textContent = ''; })()"_s);
        QCOMPARE(runTask(m_scraper->pageSignature()), u"0:"_s);
        buildTable(layout, rowsJson({ { u"II C 9/24"_s, u"o eksmisję"_s, u"SSR Nowak"_s } }));
        QVERIFY(runTask(m_scraper->pageSignature()).startsWith(u"1:II C 9/24"_s));
    }

    // Each row adds at most 100 code units; a cut through a surrogate pair leaves no broken text.
    void signatureCutsRows()
    {
        showPage({});
        const QString longText = QString(99, u'a') + u"\U0001F600"_s + QString(50, u'b');
        buildTable(u"mat"_s, rowsJson({ { longText, u"x"_s, u"y"_s } }));
        const QString signature = runTask(m_scraper->pageSignature());
        QVERIFY2(signature.startsWith(u"1:"_s + QString(99, u'a')), qPrintable(signature));
        QCOMPARE(signature.size(), 2 + 100);
        QCOMPARE(signature.back(), QChar(QChar::ReplacementCharacter));
    }

    void nextPage_data()
    {
        QTest::addColumn<QString>("controls");
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<QString>("which");
        QTest::newRow("first of next and następn")
            << u"<div class='pagination'><button id='p'>poprzednia</button><button id='a' title='Next page'>&gt;</button>"
               "<button id='b' aria-label='Następna strona'>&gt;</button></div>"_s
            << true << u"a"_s;
        QTest::newRow("disabled named control passed over")
            << u"<div class='pagination'><button id='a' disabled aria-label='Next'>x</button>"
               "<button id='b'><mat-icon>navigate_next</mat-icon></button></div>"_s
            << true << u"b"_s;
        QTest::newRow("a link is never disabled")
            << u"<div class='pagination'><a id='a' disabled>Następna</a></div>"_s << true << u"a"_s;
        QTest::newRow("icon in capitals is no name")
            << u"<div class='pagination'><button id='a'><mat-icon>CHEVRON_RIGHT</mat-icon></button></div>"_s
            << false << QString();
        QTest::newRow("by page number")
            << u"<div class='pagination'><button id='n1'>1</button><button id='n2' class='page active'>2</button>"
               "<button id='n3'>3</button></div>"_s
            << true << u"n3"_s;
        QTest::newRow("aria-current page")
            << u"<div class='pagination'><a id='n1' aria-current='page'>1</a><a id='n2'>2</a></div>"_s << true
            << u"n2"_s;
        QTest::newRow("last page")
            << u"<div class='pagination'><button id='a' disabled><mat-icon>chevron_right</mat-icon></button>"
               "<button id='n1'>1</button><button id='n2'>2</button><button id='n3' class='current'>3</button></div>"_s
            << false << QString();
        QTest::newRow("no paginator") << u"<button id='a' aria-label='Next'>x</button>"_s << false << QString();
    }

    // The next-page control is found by its name or icon, else by the page after the current one;
    // only inside the paginator.
    void nextPage()
    {
        QFETCH(QString, controls);
        QFETCH(bool, clicked);
        QFETCH(QString, which);
        showPage(controls + u"<script>document.querySelectorAll('button, a').forEach(function(c) {"
              " c.addEventListener('click', function(e) { e.preventDefault(); window.which = c.id; }); });</script>"_s);
        LogCapture log(lcScraper());
        QCOMPARE(runTask(m_scraper->goToNextPage()), clicked);
        QCOMPARE(evaluate(u"window.which || ''"_s).toString(), which);
        QCOMPARE(log.messages().value(0),
            clicked ? u"goToNextPage: paginator clicked"_s : u"goToNextPage: no paginator found"_s);
    }

    void wholeWalk_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("dataOd");
        QTest::addColumn<bool>("largestPages");
        QTest::newRow("all cases, pages of 100") << u"gdańska"_s << u"Wszystkie"_s << QString() << true;
        QTest::newRow("in progress since 2021, pages of 10")
            << u"łódzka"_s << u"W toku"_s << u"2021-01-01"_s << false;
    }

    // From the portal's first page to a filtered, paged case list walked to its end: every case the
    // portal holds for the query is collected once, with all nine fields as the portal has them.
    void wholeWalk()
    {
        QFETCH(QString, region);
        QFETCH(QString, status);
        QFETCH(QString, dataOd);
        QFETCH(bool, largestPages);
        openApp(u"/"_s, u"wrocławska"_s, u"1"_s);
        runTask(m_scraper->dismissPopups());
        runTask(m_scraper->selectApelacja(u"Apelacja "_s + region));
        runTask(m_scraper->navigateToSprawy());
        runTask(m_scraper->applyFilters(ScrapeFilters { status, dataOd, {}, {}, {} }));
        if (largestPages)
            runTask(m_scraper->setMaxPageSize());
        qint64 rowCount = 0;
        {
            LogCapture log(lcScraper());
            rowCount = runTask(m_scraper->getRowCount());
            QCOMPARE(log.messages(), QStringList { u"getRowCount: "_s + QString::number(rowCount) });
        }

        QUrlQuery query;
        query.addQueryItem(u"region"_s, region);
        query.addQueryItem(u"status"_s, status);
        query.addQueryItem(u"dataOd"_s, dataOd);
        const QJsonArray portal = portalCases(query);
        QVERIFY(portal.size() > 20);
        QHash<QString, QStringList> expected;
        for (const QJsonValue &item : portal) {
            const QStringList fields = fieldsOfPortalCase(item.toObject());
            expected.insert(caseKey(fields.at(0), fields.at(1)), fields);
        }
        QCOMPARE(expected.size(), portal.size());

        QHash<QString, QStringList> collected;
        qsizetype rowsRead = 0;
        int pages = 0;
        std::optional<qint64> totalPages;
        for (;;) {
            const PaginationInfo info = runTask(m_scraper->getPaginationInfo());
            if (pages == 0)
                totalPages = info.total;
            const QList<CourtCase> cases = runTask(m_scraper->extractPageData());
            QVERIFY(!cases.isEmpty());
            // The count covers the rows shown on the first page, at the chosen page size.
            if (pages == 0)
                QCOMPARE(cases.size(), rowCount);
            rowsRead += cases.size();
            for (const CourtCase &record : cases) {
                const QStringList fields = record.columnValues();
                const QString key = caseKey(record.sygnatura, record.sad);
                if (collected.contains(key))
                    QCOMPARE(collected.value(key), fields);
                collected.insert(key, fields);
            }
            ++pages;
            const QString before = runTask(m_scraper->pageSignature());
            QVERIFY(before.startsWith(QString::number(cases.size()) + u":"_s));
            if (!runTask(m_scraper->goToNextPage()))
                break;
            // A full page tells its place; a short last page does not (its range gives its size).
            QCOMPARE(info.current, std::optional<qint64>(pages));
            QVERIFY(runTask(m_scraper->pageSignature()) != before);
            QVERIFY(pages < 100);
        }
        const int pageSize = largestPages ? 100 : 10;
        QCOMPARE(pages, static_cast<int>((portal.size() + pageSize - 1) / pageSize));
        QCOMPARE(totalPages, std::optional<qint64>(pages));
        // Every page after the first repeats the row before it.
        QCOMPARE(rowsRead, portal.size() + pages - 1);
        QCOMPARE(collected, expected);
    }
};

VELMORIA_WEBENGINE_TEST_MAIN(TestNavigation)

#include "tst_navigation.moc"
