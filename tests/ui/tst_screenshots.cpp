// The real window's three screens, rendered offscreen: their layout in the 950 px window, the theme's
// colours as painted, their texts and fonts, keyboard focus, and what their controls call on the controller.
#include <QDesktopServices>
#include <QFontMetricsF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QtMath>
#include <QtQuickTest/quicktest.h>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"
#include "ui/viewhelpers.h"

using namespace Qt::StringLiterals;

using ViewState = ScraperViewModel::ViewState;

namespace {
// The theme's colours by their hex texts, so that a changed value in the theme shows up here.
const QColor navy(u"#1B2A4A"_s), accentLime(u"#DEF71C"_s), accentLimeDark(u"#C8E000"_s),
    appBackground(u"#F5F6F8"_s), white(u"#FFFFFF"_s), border(u"#D8DCE6"_s), textSecondary(u"#6B7B99"_s),
    errorRed(u"#D32F2F"_s), headerBackground(u"#E8EBF2"_s);

constexpr qreal anywhere = -1;
/**
 * A pixel of a named item: x in points from its left edge (negative: from its right), y as a
 * fraction of its height; with y = anywhere, some pixel of the item, as solid glyph stems have.
 */
struct Probe
{
    QString item;
    qreal x, y;
    QColor colour;
};
using Probes = QList<Probe>;
} // namespace

/** A second controller that records which operation a button calls instead of running it. */
class Recorder : public ScraperViewModel
{
    Q_OBJECT

public:
    using ScraperViewModel::ScraperViewModel;
    QStringList calls;
    Q_INVOKABLE void startScraping() { calls << u"startScraping"_s; }
    Q_INVOKABLE void stopScraping() { calls << u"stopScraping"_s; }
    Q_INVOKABLE void returnToForm() { calls << u"returnToForm"_s; }
    Q_INVOKABLE void openOutputFile() { calls << u"openOutputFile"_s; }
    Q_INVOKABLE void showInFinder() { calls << u"showInFinder"_s; }
    Q_INVOKABLE void startNewSearch() { calls << u"startNewSearch"_s; }
    /** Stands in for the browser. */
    Q_INVOKABLE void open(const QUrl &url) { calls << url.toString(); }
};

class ScreenshotTest : public QObject
{
    Q_OBJECT

public:
    explicit ScreenshotTest(VelmoriaApp &app)
        : m_app(app)
    {
    }

private:
    // Searches the drawn items, which include the rows a repeater made.
    QQuickItem *item(const QString &name, QQuickItem *under = nullptr) const
    {
        for (QQuickItem *child : (under ? under : m_window->contentItem())->childItems())
            if (QQuickItem *found = child->objectName() == name ? child : item(name, child))
                return found;
        return nullptr;
    }
    QString text(const QString &name, const char *property = "text") const
    {
        return item(name)->property(property).toString();
    }

    // Grabs the window anew, so that a probe can wait for a change.
    bool shows(const Probe &probe)
    {
        const QImage image = m_window->grabWindow();
        QQuickItem *target = item(probe.item);
        const auto near = [&](qreal x, qreal y, int tolerance) {
            const QPointF at = target->mapToScene({ x < 0 ? target->width() + x : x, y * target->height() });
            const QColor c = image.pixelColor(qFloor(at.x()), qFloor(at.y())), &e = probe.colour;
            return std::max({ std::abs(c.red() - e.red()), std::abs(c.green() - e.green()),
                       std::abs(c.blue() - e.blue()) })
                <= tolerance;
        };
        const QRectF area
            = target->mapRectFromScene(m_window->contentItem()->boundingRect()) & target->boundingRect();
        for (qreal y = area.top(); probe.y == anywhere && y < area.bottom(); y += 0.5)
            for (qreal x = area.left(); x < area.right(); x += 0.5)
                if (near(x, y / target->height(), 3))
                    return true;
        return probe.y != anywhere && near(probe.x, probe.y, 1);
    }

    // What @p under shows, in the order of its items: each visible text with its font's pixel size and
    // "b" when bold; a field shows what it displays. Of the table's rows only the first.
    QStringList shownTexts(QQuickItem *under) const
    {
        QStringList texts;
        for (QQuickItem *child : under->childItems()) {
            if (!child->isVisible() || (child->objectName().startsWith(u"caseRow"_s) && child->objectName() != u"caseRow0"))
                continue;
            const bool input = child->inherits("QQuickTextInput");
            const QString text = child->property(input ? "displayText" : "text").toString();
            if ((input || child->inherits("QQuickText")) && !text.isEmpty()) {
                const QFont font = child->property("font").value<QFont>();
                texts << u"%1 %2%3"_s.arg(text).arg(font.pixelSize()).arg(font.bold() ? u"b"_s : QString());
            }
            texts << shownTexts(child);
        }
        return texts;
    }

    // A text of @p length characters from outside: a repeated message, or path.
    static QString longText(int length, const QString &piece = u"Nie znaleziono elementu na stronie portalu. "_s)
    {
        return piece.repeated(length / piece.size() + 1).left(length);
    }

    // The cells of the case numbered @p number.
    static QStringList caseCells(int number)
    {
        return u"I C %1/26|Sąd Rejonowy w Łodzi|I Wydział Cywilny|o zapłatę|Jan Kowalski|SSR Anna Nowak|2026-01-02||"
               "W toku"_s.arg(number).split(u'|');
    }

    // Shows the state's screen over the window's controller once laid out; null if it is not.
    QQuickItem *show(ViewState state)
    {
        m_viewModel->setViewState(state);
        auto *screen = qvariant_cast<QQuickItem *>(item(u"screenLoader"_s)->property("item"));
        // The window's height follows the screen once wrapped texts have been laid out.
        const bool laidOut = screen && QTest::qWaitFor([&] {
            return !QQuickTest::qIsPolishScheduled(m_window)
                && m_window->height() == qRound(screen->implicitHeight());
        });
        return laidOut && screen->property("viewModel").value<QObject *>() == m_viewModel ? screen : nullptr;
    }

    VelmoriaApp &m_app;
    ScraperViewModel *m_viewModel = nullptr;
    std::unique_ptr<Recorder> m_recorder;
    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        m_viewModel = new ScraperViewModel(QUrl(u"http://127.0.0.1:9/login"_s));
        m_recorder = std::make_unique<Recorder>(QUrl(u"http://127.0.0.1:9/login"_s));
        QDesktopServices::setUrlHandler(u"https"_s, m_recorder.get(), "open");
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QTRY_VERIFY(m_window->isExposed() && m_window->isActive());
        QCOMPARE(QSize(m_window->minimumWidth(), m_window->maximumWidth()), QSize(950, 950));
    }

    // Each test starts on a new form over the window's own controller.
    void init()
    {
        m_viewModel->setViewState(ViewState::results);
        m_viewModel->returnToForm();
        m_viewModel->setLoginError(std::nullopt);
    }

    void screens_data()
    {
        QTest::addColumn<ViewState>("state");
        QTest::addColumn<bool>("longTexts");
        QTest::addColumn<Probes>("probes");
        QTest::addColumn<QStringList>("texts"); // all it shows but the table's rows after the first
        const Probes login { { u"startButton"_s, 6, 0.5, accentLime },
            { u"startButton"_s, 0, anywhere, navy }, { u"loginCard"_s, 0.5, 0.5, accentLime },
            { u"cardOutline"_s, 100, 0, accentLime }, // its outer half, 1 px outside the card: the line is 2 px
            { u"loginCard"_s, 4, 0.5, white }, { u"loginField"_s, 0.5, 0.5, border },
            { u"loginField"_s, -4, 0.5, white }, { u"changeFolderButton"_s, 0, anywhere, textSecondary } };
        const Probes progress { { u"progressBar"_s, 400, 0.5, accentLime },
            { u"progressBar"_s, -6, 0.5, headerBackground }, { u"countCard"_s, 6, 0.5, white },
            { u"errorLine"_s, 0, anywhere, errorRed } };
        const QStringList header = u"Portal Informacyjny 14b|Sądów Powszechnych 12"_s.split(u'|'),
                          footer = u"© 10|Tor 12b|bun 12"_s.split(u'|'), stats = u"62:05 22b|Czas 11"_s.split(u'|');
        const QString status = u"Pobieranie strony 2... 16b"_s, error = u"Brak elementu. 12"_s;
        const QString longMessage = longText(300) + u" 12"_s;
        const QStringList form = u"Logowanie 12b|Login 12|jan 12|Hasło 12|●●●●● 12|Apelacja 12|▾ 12|Apelacja "
                                 "wrocławska 12|Filtry 12b|Status 12|▾ 12|W toku 12|Data od 12|2026-01-01 12|Data do 12|"
                                 "RRRR-MM-DD 12|Podmiot 12|Przedmiot 12|Folder zapisu: 12"_s.split(u'|');
        QTest::newRow("login") << ViewState::login << false << login
                               << header + form + u"/tmp/wyniki 12|Zmień 13|Rozpocznij pobieranie 14"_s.split(u'|')
                + footer;
        const QStringList figures = u"89% 13|22 22b|Sprawy 11|2 / 4 22b|Strona 11"_s.split(u'|');
        QTest::newRow("progress") << ViewState::progress << false
                                  << progress + Probes { { u"stopButton"_s, 6, 0.5, accentLime } }
                                  << header + QStringList { status } + figures + stats
                + QStringList { error, u"Zatrzymaj 14"_s } + footer;
        const QStringList table = u"Sygnatura 10b|Sąd 10b|Wydział 10b|Przedmiot sprawy 10b|Główne podmioty sprawy "
                                  "10b|Referent 10b|Data wpływu 10b|Data zakończenia 10b|Status 10b|I C 0/26 10|Sąd "
                                  "Rejonowy w Łodzi 10|I Wydział Cywilny 10|o zapłatę 10|Jan Kowalski 10|SSR Anna "
                                  "Nowak 10|2026-01-02 10|W toku 10"_s.split(u'|');
        QTest::newRow("results") << ViewState::results << false
                                 << Probes { { u"openFileButton"_s, 6, 0.5, accentLime },
                                        { u"tableHeaderRow"_s, 100, 0.1, headerBackground },
                                        { u"tableHeaderRow"_s, 0, anywhere, navy },
                                        { u"caseRow0"_s, 100, 0.5, white },
                                        { u"caseRow1"_s, 100, 0.5, appBackground } }
                                 << header + QStringList { status, u"101 22b"_s, u"Spraw 11"_s } + stats + table
                + u"... i 1 więcej (otwórz plik XLSX) 10|Otwórz plik 14|Pokaż w Finderze 14|Nowe wyszukiwanie 14"_s
                      .split(u'|')
                + footer;
        QTest::newRow("login-long") << ViewState::login << true
                                    << login + Probes { { u"loginErrorLine"_s, 0, anywhere, errorRed } }
                                    << header + form
                + QStringList { longText(300, u"/tmp/bardzo-dluga-nazwa"_s) + u" 12"_s, u"Zmień 13"_s,
                    longMessage, u"Rozpocznij pobieranie 14"_s } + footer;
        QTest::newRow("progress-long")
            << ViewState::progress << true << progress + Probes { { u"backButton"_s, 6, 0.5, accentLime } }
            << header + QStringList { longText(300) + u" 16b"_s } + figures + stats
                + QStringList { longMessage, u"Wróć 14"_s } + footer;
        QTest::newRow("results-long")
            << ViewState::results << true
            << Probes { { u"newSearchButton"_s, 6, 0.5, accentLime }, { u"errorLine"_s, 0, anywhere, errorRed } }
            << header + QStringList { longText(300) + u" 16b"_s, longMessage, u"0 22b"_s, u"Spraw 11"_s } + stats
                + QStringList { u"Nowe wyszukiwanie 14"_s } + footer;
    }

    // Each screen fills the 950 px window on the theme's background, in the theme's colours and fonts,
    // and shows its texts and figures; 300-character messages and folder paths keep every control inside.
    // The table shows the first 100 cases in the nine columns and counts the rest under them.
    void screens()
    {
        QFETCH(ViewState, state);
        QFETCH(bool, longTexts);
        QFETCH(Probes, probes);
        QFETCH(QStringList, texts);
        m_viewModel->setLogin(u"jan"_s);
        m_viewModel->setPassword(u"tajne"_s);
        m_viewModel->setFilters({ u"W toku"_s, u"2026-01-01"_s, {}, {}, {} });
        m_viewModel->setOutputDirectory(QUrl::fromLocalFile(
            longTexts ? longText(300, u"/tmp/bardzo-dluga-nazwa"_s) : u"/tmp/wyniki"_s));
        ScrapeProgress *progress = m_viewModel->progress();
        progress->setPhase(longTexts ? ScrapePhase::error : ScrapePhase::scraping);
        if (state != ViewState::results || longTexts) // a stopped run's failed save
            progress->setErrorMessage(longTexts ? longText(300) : u"Brak elementu."_s);
        progress->setProgressValue(0.3 + 0.6);
        progress->setRecordCount(22);
        progress->setPageInfo(u"2 / 4"_s);
        progress->setElapsedSeconds(3725);
        progress->setStatusText(longTexts ? longText(300) : u"Pobieranie strony 2..."_s);
        QList<CourtCase> cases;
        for (int i = 0; i < 101 && !longTexts; ++i)
            cases << CourtCase(caseCells(i));
        m_viewModel->setCases(cases);
        if (longTexts)
            m_viewModel->setLoginError(longText(300));
        else
            progress->setOutputFile(QUrl::fromLocalFile(u"/tmp/wroclawska_sprawy.xlsx"_s));
        QQuickItem *screen = show(state);
        QVERIFY(screen);
        QCOMPARE(shownTexts(screen), texts);
        // The items this screen must show in this state; the checks below look at each of them.
        QStringList shown;
        if (state == ViewState::login)
            shown << u"changeFolderButton"_s << u"startButton"_s << u"folderPath"_s;
        else
            shown << u"statusLine"_s;
        if (state == ViewState::progress || (state == ViewState::results && longTexts))
            shown << u"errorLine"_s;
        if (state == ViewState::login && longTexts)
            shown << u"loginErrorLine"_s;
        if (state == ViewState::results && !longTexts)
            shown << u"cell1"_s;
        for (const QString &name : std::as_const(shown))
            QVERIFY2(item(name, screen) && item(name, screen)->isVisible(), qPrintable(name + u" is not shown"_s));
        // What texts and colours do not tell: sizes, centred lines, a path elided in the middle, short cells.
        for (const auto &[name, property, value] : std::initializer_list<std::tuple<QString, const char *, QString>> {
                 { u"changeFolderButton"_s, "height", u"40"_s }, { u"startButton"_s, "height", u"44"_s },
                 { u"folderPath"_s, "elide", u"ElideMiddle"_s },
                 { u"statusLine"_s, "horizontalAlignment", u"AlignHCenter"_s },
                 { u"errorLine"_s, "horizontalAlignment", u"AlignHCenter"_s }, { u"cell1"_s, "maximumLineCount", u"2"_s } })
            if (shown.contains(name))
                QCOMPARE(name + u' ' + item(name, screen)->property(property).toString(), name + u' ' + value);
        if (state == ViewState::progress) { // the screen follows the record as the run goes on
            // The cards share their row, give or take the pixel that rounding leaves over.
            QVERIFY(qAbs(item(u"countCard"_s)->width() - item(u"pageCard"_s)->width()) <= 1);
            QVERIFY(qAbs(item(u"pageCard"_s)->width() - item(u"timeCard"_s)->width()) <= 1);
            progress->setStatusText(u"Zapisywanie XLSX..."_s);
            progress->setProgressValue(0.95);
            progress->setRecordCount(1);
            progress->setPageInfo(u"4 / 4"_s);
            progress->setElapsedSeconds(59);
            QCOMPARE((QStringList { text(u"statusLine"_s), text(u"percentText"_s), text(u"countCard"_s, "value"),
                         text(u"countCard"_s, "label"), text(u"pageCard"_s, "value"), text(u"timeCard"_s, "value") }),
                (QStringList { u"Zapisywanie XLSX..."_s, u"95%"_s, u"1"_s, u"Sprawa"_s, u"4 / 4"_s, u"0:59"_s }));
        }
        if (!longTexts && state == ViewState::results) {
            QQuickItem *table = item(u"casesTable"_s);
            // The scroll bars lie beside the rows, inside the table.
            QQuickItem *rows = item(u"tableFlickable"_s);
            for (QQuickItem *bar : { item(u"verticalScrollBar"_s), item(u"horizontalScrollBar"_s) }) {
                const QRectF area = bar->mapRectToItem(table, bar->boundingRect());
                QVERIFY(table->boundingRect().contains(area));
                QVERIFY(area.intersected(rows->mapRectToItem(table, rows->boundingRect())).isEmpty());
            }
            QList<qreal> widths; // each column's with its cells' padding
            for (QQuickItem *cell : item(u"tableHeaderRow"_s)->childItems().first()->childItems())
                if (cell->property("text").isValid())
                    widths << cell->width();
            QCOMPARE(widths, (QList<qreal> { 128, 168, 168, 228, 228, 168, 108, 108, 98 }));
            QCOMPARE(item(u"caseRows"_s)->property("count"), 100);
            QCOMPARE(item(u"cell0"_s, item(u"caseRow99"_s))->property("text"), u"I C 99/26"_s);
            QCOMPARE(table->height(), 400);
            QVERIFY(qAbs(item(u"countCard"_s)->width() - item(u"timeCard"_s)->width()) <= 1); // sharing their row
            m_viewModel->setCases(cases.first(100)); // none left over: no line about them
            QTRY_VERIFY(!item(u"overflowLine"_s)->isVisible());
        }
        for (QQuickItem *control : screen->findChildren<QQuickItem *>()) {
            const QRectF area = control->mapRectToScene(control->boundingRect());
            if (control->inherits("QQuickControl") && control->isVisible())
                QVERIFY2(area.left() >= 0 && area.right() <= 950, qPrintable(control->objectName()));
        }
        // Texts from outside wrap, or elide in the middle for a path, within their place.
        for (const QString &name : { u"loginErrorLine"_s, u"statusLine"_s, u"errorLine"_s, u"folderPath"_s })
            if (shown.contains(name))
                QVERIFY2(item(name, screen)->property("contentWidth").toReal() <= item(name, screen)->width(),
                    qPrintable(name));
        if (state == ViewState::login) {
            QCOMPARE(item(u"apelacjaPicker"_s)->property("model").toStringList().join(u'|'),
                u"Apelacja białostocka|Apelacja gdańska|Apelacja katowicka|Apelacja krakowska|Apelacja lubelska|"
                "Apelacja łódzka|Apelacja poznańska|Apelacja rzeszowska|Apelacja szczecińska|Apelacja warszawska|"
                "Apelacja wrocławska"_s);
            QCOMPARE(item(u"statusPicker"_s)->property("model").toStringList().join(u'|'), u"Wszystkie|W toku|Zakończone"_s);
            QTest::mouseMove(m_window, item(u"startButton"_s)->mapToScene({ 50, 10 }).toPoint());
            QTRY_VERIFY(shows({ u"startButton"_s, 6, 0.5, accentLimeDark }));
            QTRY_COMPARE(item(u"startButton"_s)->scale(), 1.02);
            QTest::mouseMove(m_window, item(u"changeFolderButton"_s)->mapToScene({ 20, 10 }).toPoint());
            QTRY_VERIFY(shows({ u"startButton"_s, 6, 0.5, accentLime }));
            // Half-strength header background over the form's.
            QTRY_VERIFY(shows({ u"changeFolderButton"_s, 4, 0.5, QColor(239, 241, 245) }));
            QTest::mouseMove(m_window, QPoint(940, 2));
            QTRY_VERIFY(shows({ u"changeFolderButton"_s, 4, 0.5, appBackground })); // no fill at rest
        }
        probes << Probe { u"screenLoader"_s, 3, 0.005, appBackground }
               << Probe { u"headerTitle"_s, 0, anywhere, navy }
               << Probe { u"headerSubtitle"_s, 0, anywhere, textSecondary };
        for (const Probe &probe : probes)
            QVERIFY2(item(probe.item) && shows(probe), qPrintable(probe.item));
    }

    // The case-count word, the elapsed time, the percentage and the table's height for their numbers.
    // Case texts that look like markup are drawn as they stand, as the workbook holds them: each cell of the
    // first row is as wide as its whole text in its font, tags and entities included.
    void markupCells()
    {
        const QStringList cells { u"<b>I C 1/26</b>"_s, u"<A> Sp. z o.o."_s, u"I Wydział<br>Cywilny"_s,
            u"o zapłatę &lt;100 zł"_s, u"<i>Jan</i> Kowalski"_s, u"SSR Anna Nowak"_s, u"2026-01-02"_s, {}, u"W toku"_s };
        m_viewModel->setCases({ CourtCase(cells) });
        QQuickItem *screen = show(ViewState::results);
        QVERIFY(screen);
        QQuickItem *row = item(u"caseRow0"_s, screen);
        QVERIFY(row);
        for (int column = 0; column < 9; ++column) {
            QQuickItem *cell = item(u"cell%1"_s.arg(column), row);
            QVERIFY(cell);
            const qreal whole = QFontMetricsF(cell->property("font").value<QFont>()).horizontalAdvance(cells[column]);
            QVERIFY2(qAbs(cell->property("contentWidth").toReal() - whole) <= 2,
                qPrintable(u"%1: drawn %2 px wide, its text %3 px"_s.arg(cells[column])
                               .arg(cell->property("contentWidth").toReal()).arg(whole)));
        }
    }

    void figures()
    {
        QStringList words;
        for (const qint64 count : { 0, 1, 2, 4, 5, 11, 12, 14, 21, 22, 25, 102, 112, 122, 1003 })
            words << ViewHelpers::caseCountWord(count);
        QCOMPARE(words.join(u' '), u"Spraw Sprawa Sprawy Sprawy Spraw Spraw Spraw Spraw Spraw Sprawy Spraw Sprawy "
                                   "Spraw Sprawy Sprawy"_s);
        QStringList shown;
        for (const qint64 seconds : { 0, 59, 60, 605, 3725 })
            shown << ViewHelpers::elapsedText(seconds);
        for (const double share : { 0.25, 0.95, 1.0, 0.3 + 0.6, 1.2 })
            shown << ViewHelpers::percentText(share);
        for (const qint64 count : { 1, 16, 17 })
            shown << QString::number(ViewHelpers::tableHeight(count));
        QCOMPARE(shown.join(u' '), u"0:00 0:59 1:00 10:05 62:05 25% 95% 100% 89% 120% 52 382 400"_s);
    }

    void keyboard_data()
    {
        QTest::addColumn<ViewState>("state");
        QTest::addColumn<ScrapePhase>("phase");
        QTest::addColumn<QStringList>("chain");
        QTest::addColumn<QStringList>("expected");
        const QString maker = u"https://velmoria.example/"_s; // the footer opens the maker's page
        QTest::newRow("form") << ViewState::login << ScrapePhase::idle
                              << u"loginField|passwordField|apelacjaPicker|statusPicker|dataOdField|dataDoField|"
                                 "podmiotField|przedmiotField|changeFolderButton|startButton|footer"_s.split(u'|')
                              << (u"jan|tajne|Apelacja gdańska|W toku|2026-01-01|2026-02-01|Nowak|zapłata|jan!|"
                                  "tajne!|Apelacja katowicka|Zakończone|2026-01-01!|2026-02-01!|Nowak!|zapłata!|"
                                  "startScraping"_s.split(u'|') << maker);
        QTest::newRow("running") << ViewState::progress << ScrapePhase::saving
                                 << QStringList { u"stopButton"_s, u"footer"_s }
                                 << QStringList { u"stopScraping"_s, maker };
        QTest::newRow("failed") << ViewState::progress << ScrapePhase::error
                                << QStringList { u"backButton"_s, u"footer"_s }
                                << QStringList { u"returnToForm"_s, maker };
        QTest::newRow("results") << ViewState::results << ScrapePhase::stopped
                                 << u"openFileButton|showInFinderButton|newSearchButton|footer"_s.split(u'|')
                                 << (u"openOutputFile|showInFinder|startNewSearch"_s.split(u'|') << maker);
    }

    // Tab moves through the controls in order, each showing the theme's ring while it holds the focus. Each
    // field shows and changes, and each button calls, the controller the screen holds at that moment, not the
    // one it was built with; on the progress screen the phase alone picks the button.
    void keyboard()
    {
        QFETCH(ViewState, state);
        QFETCH(ScrapePhase, phase);
        QFETCH(QStringList, chain);
        QFETCH(QStringList, expected);
        QQuickItem *screen = show(state);
        QVERIFY(screen);
        m_recorder->setLogin(u"jan"_s);
        m_recorder->setPassword(u"tajne"_s);
        m_recorder->setSelectedApelacja(u"Apelacja gdańska"_s);
        m_recorder->setFilters({ u"W toku"_s, u"2026-01-01"_s, u"2026-02-01"_s, u"Nowak"_s, u"zapłata"_s });
        m_recorder->progress()->setPhase(phase);
        m_recorder->progress()->setOutputFile(QUrl::fromLocalFile(u"/tmp/sprawy.xlsx"_s));
        m_recorder->calls.clear();
        screen->setProperty("viewModel", QVariant::fromValue(m_recorder.get()));
        m_window->contentItem()->forceActiveFocus();
        QStringList shown;
        for (const QString &name : chain) {
            QTest::keyClick(m_window, Qt::Key_Tab);
            QTRY_COMPARE(m_window->activeFocusItem()->objectName(), name);
            QVERIFY2(shows({ name, 1, 0.5, navy }), qPrintable(name));
            if (name.endsWith(u"Picker"_s)) {
                shown << text(name, "displayText");
                QTest::keyClick(m_window, Qt::Key_Down);
            }
            else if (name.endsWith(u"Field"_s)) { // Return in a field starts nothing
                shown << text(name);
                QTest::keyClick(m_window, Qt::Key_Exclam);
                QTest::keyClick(m_window, Qt::Key_Return);
            }
            else if (name != u"changeFolderButton"_s)
                QTest::keyClick(m_window, Qt::Key_Space);
        }
        const ScrapeFilters filters = m_recorder->filters();
        if (state == ViewState::login)
            shown << m_recorder->login() << m_recorder->password() << m_recorder->selectedApelacja()
                  << filters.status << filters.dataOd << filters.dataDo << filters.podmiot
                  << filters.przedmiot;
        QCOMPARE(shown + m_recorder->calls, expected);
    }
};

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    VelmoriaApp app(argc, argv);
    QSettings().clear();
    ScreenshotTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshots.moc"
