#include "portal/scrapererror.h"
#include "portal/webviewscraper.h"

#include "fakeportal.h"
#include "logcapture.h"
#include "support/runtask.h"
#include "webenginetestmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

/** The nine fields of a case as the portal's own list gives them. */
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

/** A JavaScript literal for @p value (JSON is valid JavaScript for strings and arrays). */
QString jsLiteral(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

// Builds a table from rows of cell texts; each line of a cell becomes a block element.
// Layouts: "mat" (mat-row/mat-cell), "table" (header row in thead), "role" (role=row divs), "cdk".
const QString buildTableScript = uR"((function(layout, rows) {
    var tags = { mat: ['mat-table', 'mat-row', 'mat-cell'], table: ['table', 'tr', 'td'],
                 role: ['div', 'div', 'div'], cdk: ['cdk-table', 'cdk-row', 'cdk-cell'] }[layout];
    var table = document.createElement(tags[0]);
    var body = table;
    if (layout === 'table') {
        table.innerHTML = '<thead><tr><th>Sygnatura</th><th>Przedmiot</th><th>Referent</th></tr></thead><tbody></tbody>';
        body = table.querySelector('tbody');
    }
    rows.forEach(function(cells) {
        var row = document.createElement(tags[1]);
        if (layout === 'role') row.setAttribute('role', 'row');
        if (layout === 'mat') row.className = 'mat-mdc-row';
        cells.forEach(function(text) {
            var cell = document.createElement(tags[2]);
            text.split('\n').forEach(function(line) {
                var block = document.createElement('div');
                block.textContent = line;
                cell.appendChild(block);
            });
            row.appendChild(cell);
        });
        body.appendChild(row);
    });
    document.body.appendChild(table);
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
    void openApp(const QString &route, const QString &region = u"wrocławska"_s, const QString &popups = {},
        const QString &nav = {}, const QString &menuCase = {})
    {
        QUrl url = m_portal->url(u"/app"_s);
        url.setQuery(QUrlQuery { { u"region"_s, region }, { u"popups"_s, popups }, { u"nav"_s, nav },
            { u"menuCase"_s, menuCase }, { u"load"_s, QString::number(++m_loads) } });
        url.setFragment(route);
        runTask(m_scraper->loadURL(url.toString(QUrl::FullyEncoded)));
        QTRY_VERIFY(evaluate(u"document.readyState"_s).toString() == u"complete"_s);
    }

    /** A page of our own making, for layouts the portal application does not show. */
    void showPage(const QString &body)
    {
        QSignalSpy loaded(m_scraper->webView()->page(), &QWebEnginePage::loadFinished);
        m_scraper->webView()->setHtml(u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"_s + body
                + u"</body></html>"_s,
            QUrl(u"http://crafted.test/"_s));
        QVERIFY(loaded.wait(20000));
    }

    /** Rows given as cells joined by "|". */
    void buildTable(const QString &layout, const QStringList &rows)
    {
        QJsonArray json;
        for (const QString &row : rows)
            json.append(QJsonArray::fromStringList(row.split(u'|')));
        evaluate(buildTableScript + u"("_s + jsLiteral(layout) + u", "_s + jsLiteral(json) + u")"_s);
    }

    int overlayCount()
    {
        return evaluate(u"document.querySelector('.cdk-overlay-container').children.length"_s).toInt();
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

    void regionSelection_data()
    {
        QTest::addColumn<QString>("header"); // the region the portal shows; "none": no region control
        QTest::addColumn<QString>("menuCase");
        QTest::addColumn<QString>("wanted");
        QTest::newRow("already selected") << u"wrocławska"_s << QString() << u"Apelacja wrocławska"_s;
        QTest::newRow("from the menu") << u"wrocławska"_s << QString() << u"Apelacja gdańska"_s;
        QTest::newRow("menu in capitals") << u"wrocławska"_s << u"upper"_s << u"Apelacja łódzka"_s;
        QTest::newRow("no region control") << u"none"_s << QString() << u"Apelacja gdańska"_s;
    }

    // The region shown is kept without a click; another is chosen from the header's menu.
    void regionSelection()
    {
        QFETCH(QString, header);
        QFETCH(QString, menuCase);
        QFETCH(QString, wanted);
        openApp(u"/"_s, header, {}, {}, menuCase);
        evaluate(u"window.clickCount = 0, document.addEventListener('click', function() { window.clickCount++; }, true)"_s);
        const bool already = wanted == u"Apelacja "_s + header;
        if (already)
            m_token->cancel(); // no pause may follow: it would throw
        LogCapture log(lcScraper());
        if (header == u"none"_s) {
            try {
                runTask(m_scraper->selectApelacja(wanted));
                QFAIL("selectApelacja passed without a region control");
            } catch (const ScraperError &error) {
                QCOMPARE(error.errorDescription(), u"Nie znaleziono elementu: Apelacja dropdown"_s);
            }
            return;
        }
        runTask(m_scraper->selectApelacja(wanted));
        QCOMPARE(evaluate(u"document.querySelector('.region-text').textContent"_s).toString(), wanted);
        QCOMPARE(overlayCount(), 0);
        QCOMPARE(evaluate(u"window.clickCount"_s).toInt() > 0, !already);
        const QStringList messages = log.messages();
        QCOMPARE(messages.value(0), u"Selecting apelacja: "_s + wanted);
        QVERIFY2(messages.value(1).startsWith(u"Current apelacja: Apelacja "_s + header), qPrintable(messages.value(1)));
        QCOMPARE(messages.mid(2), QStringList { already ? u"Apelacja already selected"_s : u"Dismissing popups..."_s });
    }

    void caseList_data()
    {
        QTest::addColumn<QString>("nav"); // the portal's navigation variant
        QTest::addColumn<bool>("clicked");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("link") << QString() << true << QString();
        // A link far from the left edge does not count; the fallback drops port, path and query.
        QTest::newRow("fallback") << u"far"_s << false << u"https://127.0.0.1/#/sprawy"_s;
    }

    // The case-list link is clicked, else the fallback address loaded (checked as requested: nothing
    // serves https here).
    void caseList()
    {
        QFETCH(QString, nav);
        QFETCH(bool, clicked);
        QFETCH(QString, loaded);
        openApp(u"/"_s, u"wrocławska"_s, {}, nav);
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
        QTest::newRow("all set, quotes, backslash and lines")
            << u"W toku|2021-01-01|2023-12-31|O'Neil \\ \"Świt\"|zażółć\n'gęślą' \\n jaźń"_s << u"W toku"_s;
        QTest::newRow("spaces count as set, unknown status takes the first option")
            << u"Zawieszone||2022-06-30|   |"_s << u"Wszystkie"_s;
    }

    // Every set filter is typed into its own field with its events, an empty one is left alone, and the
    // filter button applies exactly those values.
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
        for (int i = 1; i < 5; ++i) {
            // The dates are inputs and lose focus; the other two fields take input and change only.
            QStringList seen;
            for (const QJsonValue &record : m_portal->recordsOf(u"filter"_s, names[i]))
                seen.append(record[u"event"].toString() + u'=' + record[u"value"].toString());
            QStringList expected;
            for (const QString &event : { u"input"_s, u"change"_s, u"blur"_s }) {
                if (!values[i].isEmpty() && (i <= 2 || event != u"blur"_s))
                    expected.append(event + u'=' + values[i]);
            }
            QCOMPARE(seen, expected);
            QCOMPARE(applied.value(names[i]).toString(), values[i]);
        }
        QCOMPARE(overlayCount(), 0); // the status panel closed again
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
        QTest::newRow("slash") << paginator(u"3 / 12"_s) << Page(3) << Page(12);
        QTest::newRow("too big for 64 bits") << paginator(u"1 - 1 z 99999999999999999999999"_s) << Page(1) << none;
        QTest::newRow("no paginator") << u"<p>1 - 10 z 100</p>"_s << none << none;
    }

    // The paginator's range or page text gives the current page and the number of pages.
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
        QTest::newRow("lone surrogate") << u"mat"_s << QStringList { u"I C 1/24|o zapłatę|R"_s }
                                        << QStringList { u"I C 1/24|||o zapłat\uFFFD||R|||"_s };
    }

    // The cells of a row become the nine fields by their lines, whatever the table's markup.
    void cellLayout()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        showPage({});
        buildTable(layout, rows);
        if (QTest::currentDataTag() == QByteArray("lone surrogate")) {
            // A lone high surrogate in place of the last letter of the subject.
            evaluate(u"document.querySelectorAll('mat-cell')[1].firstChild.textContent = 'o zapłat' + String.fromCharCode(0xD800)"_s);
        }
        LogCapture log(lcScraper());
        QStringList values;
        for (const CourtCase &record : runTask(m_scraper->extractPageData()))
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

    // The signature counts the rows the row reader reads, whatever the markup, with the first three
    // rows' text; on mat-row tables it is the one of the portal's own row selector.
    void signature()
    {
        QFETCH(QString, layout);
        showPage({});
        QStringList rows;
        for (int i = 1; i <= 5; ++i)
            rows.append(u"I C %1/24|o zapłatę|SSR Nowak|2024-01-0%1"_s.arg(i));
        buildTable(layout, rows);
        QCOMPARE(runTask(m_scraper->extractPageData()).size(), 5);
        const QString signature = runTask(m_scraper->pageSignature());
        const QString expected = evaluate(uR"((function() {
            var rows = document.querySelectorAll('mat-row, tbody tr, [role="row"], cdk-row');
            var text = '';
            for (var i = 0; i < rows.length && i < 3; i++) text += rows[i].innerText.trim().substring(0, 100);
            return rows.length + ':' + text;
        })())"_s).toString();
        QVERIFY2(expected.startsWith(u"5:I C 1/24"_s), qPrintable(expected));
        QCOMPARE(signature, expected);
    }

    // Each row adds at most 100 code units; a cut through a surrogate pair leaves no broken text.
    void signatureCutsRows()
    {
        showPage({});
        buildTable(u"mat"_s, { QString(99, u'a') + u"\U0001F600"_s + QString(50, u'b') + u"|x|y"_s });
        QCOMPARE(runTask(m_scraper->pageSignature()), u"1:"_s + QString(99, u'a') + QChar(QChar::ReplacementCharacter));
    }

    void nextPage_data()
    {
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("which"); // the control clicked; empty: none
        QTest::newRow("first of next and następn")
            << u"<div class='pagination'><button id='p'>poprzednia</button><button id='a' title='Next page'>&gt;</button>"
               "<button id='b' aria-label='Następna strona'>&gt;</button></div>"_s
            << u"a"_s;
        QTest::newRow("disabled named control passed over")
            << u"<div class='pagination'><button id='a' disabled aria-label='Next'>x</button>"
               "<button id='b'><mat-icon>navigate_next</mat-icon></button></div>"_s
            << u"b"_s;
        QTest::newRow("icon in capitals is no name")
            << u"<div class='pagination'><button id='a'><mat-icon>CHEVRON_RIGHT</mat-icon></button></div>"_s << QString();
        QTest::newRow("by page number")
            << u"<div class='pagination'><button id='n1'>1</button><button id='n2' class='page active'>2</button>"
               "<button id='n3'>3</button></div>"_s
            << u"n3"_s;
        QTest::newRow("last page")
            << u"<div class='pagination'><button id='a' disabled><mat-icon>chevron_right</mat-icon></button>"
               "<button id='n1'>1</button><button id='n2'>2</button><button id='n3' class='current'>3</button></div>"_s
            << QString();
        QTest::newRow("no paginator") << u"<button id='a' aria-label='Next'>x</button>"_s << QString();
    }

    // The next-page control is found by its name or icon, else by the page after the current one;
    // only inside the paginator.
    void nextPage()
    {
        QFETCH(QString, controls);
        QFETCH(QString, which);
        showPage(controls + u"<script>document.querySelectorAll('button, a').forEach(function(c) {"
              " c.addEventListener('click', function(e) { e.preventDefault(); window.which = c.id; }); });</script>"_s);
        LogCapture log(lcScraper());
        QCOMPARE(runTask(m_scraper->goToNextPage()), !which.isEmpty());
        QCOMPARE(evaluate(u"window.which || ''"_s).toString(), which);
        QCOMPARE(log.messages(),
            QStringList { which.isEmpty() ? u"goToNextPage: no paginator found"_s : u"goToNextPage: paginator clicked"_s });
    }

    void wholeWalk_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("dataOd");
        QTest::addColumn<bool>("largestPages");
        QTest::newRow("all cases, pages of 100") << u"gdańska"_s << u"Wszystkie"_s << QString() << true;
        QTest::newRow("in progress since 2021, pages of 10") << u"łódzka"_s << u"W toku"_s << u"2021-01-01"_s << false;
    }

    // From the portal's first page with its pop-ups to a filtered, paged case list walked to its end:
    // every case the portal holds for the query is collected, with all nine fields as the portal has them.
    void wholeWalk()
    {
        QFETCH(QString, region);
        QFETCH(QString, status);
        QFETCH(QString, dataOd);
        QFETCH(bool, largestPages);
        openApp(u"/"_s, u"wrocławska"_s, u"1"_s);
        runTask(m_scraper->dismissPopups());
        // Close buttons, buttons by their words and the Escape key each close their kind of pop-up.
        QTRY_COMPARE(overlayCount(), 0);
        QCOMPARE(evaluate(u"window.closedPopups.map(function(p) { return p.kind + ':' + p.how; }).sort().join()"_s).toString(),
            u"dialog-close:button,dialog-understood:button,snack-bar:button,tooltip:escape"_s);
        runTask(m_scraper->selectApelacja(u"Apelacja "_s + region));
        runTask(m_scraper->navigateToSprawy());
        runTask(m_scraper->applyFilters(ScrapeFilters { status, dataOd, {}, {}, {} }));
        if (largestPages)
            runTask(m_scraper->setMaxPageSize());
        const qint64 rowCount = runTask(m_scraper->getRowCount());

        const QJsonArray portal
            = m_portal->allCases(QUrlQuery { { u"region"_s, region }, { u"status"_s, status }, { u"dataOd"_s, dataOd } });
        QVERIFY(portal.size() > 20);
        QHash<QString, QStringList> expected;
        for (const QJsonValue &item : portal) {
            const QStringList fields = fieldsOfPortalCase(item.toObject());
            expected.insert(fields.at(0) + u'|' + fields.at(1), fields);
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
            // The count covers the rows shown on the first page, at the chosen page size.
            if (pages == 0)
                QCOMPARE(cases.size(), rowCount);
            rowsRead += cases.size();
            for (const CourtCase &record : cases)
                collected.insert(record.sygnatura.trimmed() + u'|' + record.sad.trimmed(), record.columnValues());
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
