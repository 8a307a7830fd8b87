// The controller without a portal: its state, restored settings, start refusals, de-duplication,
// page position, end detection, the elapsed timer, the file actions and its release mid-run.
#include "controller/scraperviewmodel.h"
#include "controller/settingsstore.h"
#include "portal/webviewscraper.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Nothing listens there: a run started in these tests only gets as far as the login.
const QUrl deadPortal(u"http://127.0.0.1:9/login"_s);

CourtCase makeCase(const QString &sygnatura, const QString &sad, const QString &wydzial = {})
{
    return CourtCase({ sygnatura, sad, wydzial });
}

} // namespace

/** Receives what the controller asks the desktop to open. */
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class ScraperViewModelTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_scratch;

    /** A controller on the dead portal whose form would start a run into a fresh folder. */
    std::unique_ptr<ScraperViewModel> startable(const QString &folderName)
    {
        const QString folder = m_scratch.filePath(folderName);
        if (!QDir().mkpath(folder))
            return nullptr;
        auto viewModel = std::make_unique<ScraperViewModel>(deadPortal);
        viewModel->setOutputDirectory(QUrl::fromLocalFile(folder));
        viewModel->setLogin(u"anna"_s);
        viewModel->setPassword(u"x"_s);
        return viewModel;
    }

    /** Stops the run under way and waits for its ending. */
    static bool stopAndWait(ScraperViewModel &viewModel)
    {
        QSignalSpy finished(&viewModel, &ScraperViewModel::runFinished);
        viewModel.stopScraping();
        return finished.wait(30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        prepareTestEnvironment();
        setPauseScaleForTesting(0.01);
        QVERIFY(m_scratch.isValid());
    }

    void init()
    {
        QSettings().clear();
        deleteKeychainItem(u"anna"_s);
    }

    // First launch: empty credentials, default region and filters, the Desktop, the form. A second
    // controller on the same settings and keychain restores what the first saved, but not the filters.
    void launches()
    {
        const QString folder = m_scratch.filePath(u"second-launch"_s);
        QVERIFY(QDir().mkpath(folder));
        {
            ScraperViewModel first(deadPortal);
            QVERIFY(first.login().isEmpty());
            QVERIFY(first.password().isEmpty());
            QCOMPARE(first.selectedApelacja(), u"Apelacja wrocławska"_s);
            const ScrapeFilters filters = first.filters();
            QCOMPARE(filters.status, u"Wszystkie"_s);
            QVERIFY((filters.dataOd + filters.dataDo + filters.podmiot + filters.przedmiot).isEmpty());
            QCOMPARE(first.outputDirectory(), QUrl::fromLocalFile(QDir::homePath() + u"/Desktop"_s));
            QCOMPARE(first.viewState(), ScraperViewModel::ViewState::login);

            first.setLogin(u"anna"_s);
            first.setPassword(u"hasło ąę"_s);
            first.setSelectedApelacja(u"Apelacja gdańska"_s);
            first.chooseOutputDirectory(QUrl::fromLocalFile(folder));
            first.setFilter(u"podmiot"_s, u"Kowalski"_s);
            first.startScraping();
            QVERIFY(first.isRunning());
            QVERIFY(stopAndWait(first));
        }
        ScraperViewModel second(deadPortal);
        QCOMPARE(second.login(), u"anna"_s);
        QCOMPARE(second.password(), u"hasło ąę"_s);
        QCOMPARE(second.selectedApelacja(), u"Apelacja gdańska"_s);
        QCOMPARE(second.outputDirectory(), QUrl::fromLocalFile(folder));
        QVERIFY(second.filters().podmiot.isEmpty());
    }

    void refusedStart_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");

        QTest::newRow("empty password") << u"anna"_s << QString() << u"ok"_s << u"Podaj login i hasło."_s;
        QTest::newRow("empty login") << QString() << u"x"_s << u"ok"_s << u"Podaj login i hasło."_s;
        QTest::newRow("both empty, missing folder")
            << QString() << QString() << u"missing"_s << u"Podaj login i hasło."_s;
        QTest::newRow("missing folder")
            << u"anna"_s << u"x"_s << u"missing"_s << u"Wybrany folder nie istnieje"_s;
        QTest::newRow("file, not a folder")
            << u"anna"_s << u"x"_s << u"file"_s << u"Wybrana ścieżka nie jest folderem"_s;
    }

    // A refused start shows why on the form and changes nothing else: no setting, no reset.
    void refusedStart()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(QString, folder);
        QFETCH(QString, message);

        const QString path = m_scratch.filePath(folder);
        QVERIFY(QDir().mkpath(m_scratch.filePath(u"ok"_s)));
        if (folder == u"file")
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));

        ScraperViewModel viewModel(deadPortal);
        viewModel.setLogin(login);
        viewModel.setPassword(password);
        viewModel.setOutputDirectory(QUrl::fromLocalFile(path));
        viewModel.mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
        QSignalSpy progressSpy(&viewModel, &ScraperViewModel::progressChanged);

        viewModel.startScraping();
        QVERIFY2(viewModel.loginErrorText().startsWith(message), qPrintable(viewModel.loginErrorText()));
        QCOMPARE(progressSpy.count(), 0);
        QCOMPARE(viewModel.caseCount(), 1);
        QCOMPARE(viewModel.viewState(), ScraperViewModel::ViewState::login);
        QVERIFY(!viewModel.isRunning());
        QVERIFY(!QSettings().contains(u"login"_s));
        QVERIFY(!QSettings().contains(u"apelacja"_s));
    }

    // A valid start (spaces are a password) clears the earlier refusal, saves the settings and
    // shows a fresh record in the launching phase; a second start during the run is ignored.
    // After the run, going back to the form resets the results.
    void validStartAndStop()
    {
        const auto viewModel = startable(u"valid-start"_s);
        QVERIFY(viewModel);
        viewModel->setPassword(QString());
        viewModel->startScraping();
        QVERIFY(viewModel->hasLoginError());

        viewModel->setPassword(u"   "_s);
        viewModel->mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
        ScrapeProgress *before = viewModel->progress();
        viewModel->startScraping();
        QVERIFY(!viewModel->hasLoginError());
        ScrapeProgress *progress = viewModel->progress();
        QVERIFY(progress != before);
        QCOMPARE(progress->phase(), ScrapePhase::launching);
        QCOMPARE(progress->statusText(), u"Uruchamianie..."_s);
        QCOMPARE(progress->progressValue(), 0.0);
        QCOMPARE(progress->pageInfo(), u"\u2014"_s);
        QCOMPARE(progress->recordCount(), 0);
        QVERIFY(progress->startTime().isValid());
        QCOMPARE(viewModel->caseCount(), 0);
        QVERIFY(viewModel->seenKeys().isEmpty());
        QCOMPARE(viewModel->viewState(), ScraperViewModel::ViewState::progress);
        QCOMPARE(QSettings().value(u"login"_s).toString(), u"anna"_s);
        QCOMPARE(QSettings().value(u"apelacja"_s).toString(), u"Apelacja wrocławska"_s);

        viewModel->startScraping();
        QCOMPARE(viewModel->progress(), progress);

        QVERIFY(stopAndWait(*viewModel));
        // The folder check leaves nothing behind.
        QVERIFY(QDir(viewModel->outputDirectory().toLocalFile())
                    .entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());

        // Back to the form: a fresh record and no cases; the form's fields stay.
        viewModel->mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
        viewModel->returnToForm();
        QVERIFY(viewModel->progress() != progress);
        QCOMPARE(viewModel->progress()->phase(), ScrapePhase::idle);
        QCOMPARE(viewModel->caseCount(), 0);
        QVERIFY(viewModel->seenKeys().isEmpty());
        QCOMPARE(viewModel->viewState(), ScraperViewModel::ViewState::login);
        QCOMPARE(viewModel->login(), u"anna"_s);
    }

    // A controller released during a run keeps its driver until the run has unwound, then frees it.
    void releasedDuringRun()
    {
        auto viewModel = startable(u"released"_s);
        QVERIFY(viewModel);
        viewModel->startScraping();
        QTRY_COMPARE(viewModel->progress()->phase(), ScrapePhase::loggingIn);
        const QPointer<WebViewScraper> driver = viewModel->scraper();
        viewModel.reset();
        QVERIFY(driver);
        QTRY_VERIFY_WITH_TIMEOUT(!driver, 30000);
    }

    // Every write of the filters publishes; an unchanged login or folder does not; the progress
    // record is compared by identity.
    void observedWrites()
    {
        ScraperViewModel viewModel(deadPortal);
        QSignalSpy filters(&viewModel, &ScraperViewModel::filtersChanged);
        QSignalSpy login(&viewModel, &ScraperViewModel::loginChanged);
        QSignalSpy folder(&viewModel, &ScraperViewModel::outputDirectoryChanged);
        QSignalSpy progress(&viewModel, &ScraperViewModel::progressChanged);
        viewModel.setFilters(viewModel.filters());
        viewModel.setFilter(u"przedmiot"_s, u"zapłata"_s);
        viewModel.setFilter(u"unknown"_s, u"x"_s);
        QCOMPARE(filters.count(), 2);
        QCOMPARE(viewModel.filters().przedmiot, u"zapłata"_s);

        viewModel.setLogin(u"anna"_s);
        viewModel.setLogin(u"anna"_s);
        QCOMPARE(login.count(), 1);
        viewModel.setOutputDirectory(viewModel.outputDirectory());
        QCOMPARE(folder.count(), 0);

        auto *equal = new ScrapeProgress;
        viewModel.setProgress(equal);
        viewModel.setProgress(equal);
        QCOMPARE(progress.count(), 1);
    }

    void caseKey_data()
    {
        QTest::addColumn<QString>("sygnatura");
        QTest::addColumn<QString>("sad");
        QTest::addColumn<QString>("key");

        QTest::newRow("spaces and tabs")
            << u" \tI C 12/25 "_s << u"\tSąd Rejonowy  "_s << u"I C 12/25|Sąd Rejonowy"_s;
        QTest::newRow("no-break and em spaces")
            << u"\u00a0I C 12/25\u2003"_s << u"\u3000SR"_s << u"I C 12/25|SR"_s;
        QTest::newRow("line break kept") << u"I C 12/25\n"_s << u"\rSR"_s << u"I C 12/25\n|\rSR"_s;
        QTest::newRow("inner space kept") << u"I  C"_s << u"S R"_s << u"I  C|S R"_s;
        QTest::newRow("both empty") << QString() << u"   "_s << u"|"_s;
    }

    // The key is the reference and the court, trimmed of space separators and tabs only.
    void caseKey()
    {
        QFETCH(QString, sygnatura);
        QFETCH(QString, sad);
        QFETCH(QString, key);
        QCOMPARE(ScraperViewModel::caseKey(makeCase(sygnatura, sad, u"ignored"_s)), key);
    }

    // The first case of a key stays; later ones are dropped, within and across pages.
    void mergePageRows()
    {
        ScraperViewModel viewModel(deadPortal);
        QSignalSpy cases(&viewModel, &ScraperViewModel::casesChanged);
        const CourtCase first = makeCase(u"I C 1/25"_s, u"SR Wrocław"_s, u"I Wydział"_s);
        const CourtCase second = makeCase(u"I C 2/25"_s, u"SR Wrocław"_s);
        QVERIFY(!viewModel.mergePageRows(
            { first, makeCase(u" I C 1/25\t"_s, u"SR Wrocław"_s, u"other"_s), second }));
        QCOMPARE(cases.count(), 2);
        QCOMPARE(viewModel.cases(), (QList<CourtCase> { first, second }));

        // A later page: one known, one differing only in letter case, one with a trailing line break.
        const CourtCase upper = makeCase(u"I C 2/25"_s, u"SR WROCŁAW"_s);
        const CourtCase lineBreak = makeCase(u"I C 1/25\n"_s, u"SR Wrocław"_s);
        QVERIFY(!viewModel.mergePageRows({ makeCase(u"I C 1/25"_s, u"SR Wrocław"_s), upper, lineBreak }));
        QCOMPARE(viewModel.cases(), (QList<CourtCase> { first, second, upper, lineBreak }));
        QCOMPARE(viewModel.seenKeys().size(), 4);

        // Nothing new: a known page, an empty page, a canonically equivalent spelling.
        QVERIFY(viewModel.mergePageRows({ first, second }));
        QVERIFY(viewModel.mergePageRows({}));
        QVERIFY(viewModel.mergePageRows(
            { makeCase(u"I C 2/25"_s, u"SR Wroc\u0142aw"_s.normalized(QString::NormalizationForm_D)) }));
        QCOMPARE(cases.count(), 4);

        // Rows without reference and court share one key.
        QVERIFY(!viewModel.mergePageRows({ makeCase({}, {}, u"a"_s), makeCase(u" "_s, u"\t"_s, u"b"_s) }));
        QCOMPARE(viewModel.caseCount(), 5);
        QCOMPARE(viewModel.caseColumnValues(4).at(2), u"a"_s);
    }

    void pagePosition_data()
    {
        QTest::addColumn<qint64>("current");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("pageNumber");
        QTest::addColumn<QString>("pageInfo");
        QTest::addColumn<double>("progress");

        constexpr qint64 none = std::numeric_limits<qint64>::min() + 1;
        constexpr qint64 maximum = std::numeric_limits<qint64>::max();
        constexpr qint64 minimum = std::numeric_limits<qint64>::min();
        QTest::newRow("first page, no total") << none << none << qint64(1) << u"1"_s << 0.32;
        QTest::newRow("current, no total") << qint64(3) << none << qint64(2) << u"3"_s << 0.34;
        QTest::newRow("31st page, no total") << none << none << qint64(31) << u"31"_s << 0.9;
        QTest::newRow("far page, no total") << none << none << qint64(1000000) << u"1000000"_s << 0.9;
        QTest::newRow("total, no current") << none << qint64(12) << qint64(3) << u"3 / 12"_s << 0.45;
        QTest::newRow("1 of 10") << qint64(1) << qint64(10) << qint64(1) << u"1 / 10"_s << 0.36;
        QTest::newRow("total 0") << qint64(3) << qint64(0) << qint64(2) << u"3 / 0"_s << 0.34;
        QTest::newRow("negative total") << qint64(3) << qint64(-5) << qint64(4) << u"3 / -5"_s << 0.38;
        QTest::newRow("past the total") << qint64(14) << qint64(10) << qint64(14) << u"14 / 10"_s << 1.14;
        // Absurd paginator numbers: exact texts and finite values, no integer overflow.
        QTest::newRow("huge current")
            << maximum << qint64(1) << qint64(1) << u"9223372036854775807 / 1"_s << 5.534023222112865e18;
        QTest::newRow("lowest current, huge total")
            << minimum << maximum << qint64(1) << u"-9223372036854775808 / 9223372036854775807"_s << -0.3;
        QTest::newRow("huge page number, lowest total")
            << none << minimum << maximum << u"9223372036854775807 / -9223372036854775808"_s << 0.9;
        QTest::newRow("lowest page number")
            << none << none << minimum << u"-9223372036854775808"_s << -1.8446744073709552e17;
    }

    // The page text and progress value for each kind of paginator reading.
    void pagePosition()
    {
        QFETCH(qint64, current);
        QFETCH(qint64, total);
        QFETCH(qint64, pageNumber);
        QFETCH(QString, pageInfo);
        QFETCH(double, progress);
        constexpr qint64 none = std::numeric_limits<qint64>::min() + 1;
        const auto optional
            = [](qint64 value) { return value == none ? std::nullopt : std::optional(value); };

        const PagePosition position
            = ScraperViewModel::pagePosition(optional(current), optional(total), pageNumber);
        QCOMPARE(position.pageInfo, pageInfo);
        QCOMPARE(position.shownNumber, current == none ? pageNumber : current);
        QCOMPARE(position.progressValue, progress);
    }

    // The loop ends at a repeated page and at a page seen earlier that adds nothing (a wrapping paginator).
    void pageEndDetection()
    {
        PageEndDetector detector;
        // First page: only an empty signature with nothing new ends it.
        QVERIFY(!detector.isEndBeforeClick(u"A"_s, true));
        QVERIFY(detector.isEndBeforeClick(QString(), true));
        QVERIFY(!detector.isEndBeforeClick(QString(), false));

        detector.leavePage(u"A"_s);
        QVERIFY(detector.isEndBeforeClick(u"A"_s, true));
        QVERIFY(!detector.isEndBeforeClick(u"A"_s, false));
        QVERIFY(!detector.isEndBeforeClick(u"B"_s, true));
        detector.leavePage(u"B"_s);
        detector.leavePage(u"C"_s);
        // Wrapped from the last page back to the first: already read, nothing new.
        QVERIFY(detector.isEndBeforeClick(u"A"_s, true));
        // A page read before that now brings new cases goes on.
        QVERIFY(!detector.isEndBeforeClick(u"A"_s, false));
        QVERIFY(!detector.isEndBeforeClick(u"D"_s, true));
    }

    // The elapsed time is whole seconds on a monotonic clock, frozen at the stop.
    void elapsedTimer()
    {
        qint64 now = 1000000;
        const auto viewModel = startable(u"elapsed"_s);
        QVERIFY(viewModel);
        viewModel->setMonotonicClockForTesting([&now] { return now; });
        viewModel->startScraping();
        ScrapeProgress *progress = viewModel->progress();
        QCOMPARE(progress->elapsedSeconds(), 0);
        now += 65700;
        QTRY_COMPARE(progress->elapsedSeconds(), 65);
        now += 1000;
        viewModel->stopScraping();
        // The last update is made at the stop itself.
        QCOMPARE(progress->elapsedSeconds(), 66);
        now += 5000;
        QSignalSpy finished(viewModel.get(), &ScraperViewModel::runFinished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(progress->elapsedSeconds(), 66);
    }

    // Opening and revealing the workbook use the desktop; without a file they do nothing.
    void fileActions()
    {
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
        ScraperViewModel viewModel(deadPortal);
        viewModel.openOutputFile();
        viewModel.showInFinder();
        QVERIFY(opened.urls.isEmpty());

        const QUrl file = QUrl::fromLocalFile(m_scratch.filePath(u"wynik.xlsx"_s));
        viewModel.progress()->setOutputFile(file);
        viewModel.openOutputFile();
        // No file manager answers in the test session: the containing folder is opened instead.
        viewModel.showInFinder();
        QCOMPARE(opened.urls, (QList<QUrl> { file, QUrl::fromLocalFile(m_scratch.path()) }));
        QDesktopServices::unsetUrlHandler(u"file"_s);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ScraperViewModelTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_scraperviewmodel.moc"
