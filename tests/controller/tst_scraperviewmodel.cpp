// The controller without a portal: its life across two launches, start refusals, observed writes,
// de-duplication, page position and end detection, the elapsed timer, file actions and release.
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"
#include "controller/settingsstore.h"
#include "portal/webviewscraper.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
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

/** The form's fields: login, password, region, the five filters, the output folder. */
QStringList formFields(const ScraperViewModel &viewModel)
{
    const ScrapeFilters filters = viewModel.filters();
    return { viewModel.login(), viewModel.password(), viewModel.selectedApelacja(), filters.status,
        filters.dataOd, filters.dataDo, filters.podmiot, filters.przedmiot,
        viewModel.outputDirectory().toLocalFile() };
}

bool stopAndWait(ScraperViewModel &viewModel)
{
    QSignalSpy finished(&viewModel, &ScraperViewModel::runFinished);
    viewModel.stopScraping();
    return finished.wait(30000);
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

/** A desktop file manager on the test's private session bus. */
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
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

private Q_SLOTS:
    void initTestCase()
    {
        applyApplicationIdentity();
        QStandardPaths::setTestModeEnabled(true);
        setPauseScaleForTesting(0.01);
        QVERIFY(m_scratch.isValid());
    }

    void init()
    {
        QSettings().clear();
        deleteKeychainItem(u"anna"_s);
    }

    // First launch shows the defaults; a valid start (spaces are a password) clears the refusal,
    // resets the results and ignores a second start; going back to the form resets them again;
    // a second launch restores the login, password, region and folder, but not the filters.
    void twoLaunches()
    {
        const QString folder = m_scratch.filePath(u"launches"_s);
        QVERIFY(QDir().mkpath(folder));
        {
            ScraperViewModel first(deadPortal);
            QCOMPARE(formFields(first),
                (QStringList { {}, {}, u"Apelacja wrocławska"_s, u"Wszystkie"_s, {}, {}, {}, {},
                    QDir::homePath() + u"/Desktop"_s }));
            QCOMPARE(first.viewState(), ScraperViewModel::ViewState::login);
            first.startScraping();
            QCOMPARE(first.loginErrorText(), u"Podaj login i hasło."_s);

            first.setLogin(u"anna"_s);
            first.setPassword(u"   "_s);
            first.setSelectedApelacja(u"Apelacja gdańska"_s);
            first.chooseOutputDirectory(QUrl::fromLocalFile(folder));
            first.setFilter(u"podmiot"_s, u"Kowalski"_s);
            first.mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
            ScrapeProgress *before = first.progress();
            first.startScraping();
            QVERIFY(!first.hasLoginError());
            ScrapeProgress *progress = first.progress();
            QVERIFY(progress != before);
            QCOMPARE(first.caseCount(), 0);
            QVERIFY(first.seenKeys().isEmpty());
            QCOMPARE(first.viewState(), ScraperViewModel::ViewState::progress);
            first.startScraping();
            QCOMPARE(first.progress(), progress);
            QVERIFY(stopAndWait(first));
            // The folder check leaves nothing behind.
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                QStringList());

            first.mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
            first.returnToForm();
            QVERIFY(first.progress() != progress);
            QCOMPARE(first.caseCount(), 0);
            QCOMPARE(first.viewState(), ScraperViewModel::ViewState::login);
        }
        ScraperViewModel second(deadPortal);
        QCOMPARE(formFields(second),
            (QStringList {
                u"anna"_s, u"   "_s, u"Apelacja gdańska"_s, u"Wszystkie"_s, {}, {}, {}, {}, folder }));
    }

    void refusedStart_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");

        QTest::newRow("empty password") << u"anna"_s << QString() << u"ok"_s << u"Podaj login i hasło."_s;
        QTest::newRow("empty login") << QString() << u"x"_s << u"ok"_s << u"Podaj login i hasło."_s;
        QTest::newRow("credentials first")
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
        QVERIFY(QDir().mkpath(m_scratch.filePath(u"ok"_s)));
        if (folder == u"file")
            QVERIFY(QFile(m_scratch.filePath(folder)).open(QIODevice::WriteOnly));

        ScraperViewModel viewModel(deadPortal);
        viewModel.setLogin(login);
        viewModel.setPassword(password);
        viewModel.setOutputDirectory(QUrl::fromLocalFile(m_scratch.filePath(folder)));
        viewModel.mergePageRows({ makeCase(u"I C 1/25"_s, u"SR"_s) });
        QSignalSpy progressSpy(&viewModel, &ScraperViewModel::progressChanged);
        viewModel.startScraping();
        QVERIFY2(viewModel.loginErrorText().startsWith(message), qPrintable(viewModel.loginErrorText()));
        QCOMPARE(progressSpy.count(), 0);
        QCOMPARE(viewModel.caseCount(), 1);
        QCOMPARE(viewModel.viewState(), ScraperViewModel::ViewState::login);
        QVERIFY(!viewModel.isRunning());
        QCOMPARE(QSettings().allKeys(), QStringList());
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

    // Every write of the filters publishes; an unchanged login or folder does not; a new progress
    // record publishes even with equal contents, the same record again does not.
    void observedWrites()
    {
        ScraperViewModel viewModel(deadPortal);
        QSignalSpy filters(&viewModel, &ScraperViewModel::filtersChanged);
        QSignalSpy login(&viewModel, &ScraperViewModel::loginChanged);
        QSignalSpy folder(&viewModel, &ScraperViewModel::outputDirectoryChanged);
        QSignalSpy progress(&viewModel, &ScraperViewModel::progressChanged);
        viewModel.setFilters(viewModel.filters());
        viewModel.setFilter(u"przedmiot"_s, u"zapłata"_s);
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

    void deduplication_data()
    {
        QTest::addColumn<CourtCase>("later");
        QTest::addColumn<bool>("duplicate");
        // Each row is merged after "I C 1/25" of "Sąd Rejonowy".
        const auto row = [](const char *name, const QString &sygnatura, const QString &sad, bool duplicate) {
            QTest::newRow(name) << makeCase(sygnatura, sad, u"later"_s) << duplicate;
        };
        row("space separators and tabs trimmed", u" \t\u00a0I C 1/25\u2003"_s, u"\u3000Sąd Rejonowy\t"_s,
            true);
        row("canonically equivalent", u"I C 1/25"_s,
            u"Sąd Rejonowy"_s.normalized(QString::NormalizationForm_D), true);
        row("letter case differs", u"I C 1/25"_s, u"SĄD REJONOWY"_s, false);
        row("line break kept", u"I C 1/25\n"_s, u"Sąd Rejonowy"_s, false);
        row("inner space kept", u"I  C 1/25"_s, u"Sąd Rejonowy"_s, false);
        row("fields kept apart", u"I C 1/25S"_s, u"ąd Rejonowy"_s, false);
    }

    // The first case of a key stays and later ones are dropped; a page with nothing new says so.
    void deduplication()
    {
        QFETCH(CourtCase, later);
        QFETCH(bool, duplicate);
        ScraperViewModel viewModel(deadPortal);
        const CourtCase first = makeCase(u"I C 1/25"_s, u"Sąd Rejonowy"_s, u"first"_s);
        QVERIFY(!viewModel.mergePageRows({ first, later }));
        QCOMPARE(viewModel.cases(), (duplicate ? QList { first } : QList { first, later }));
        QVERIFY(viewModel.mergePageRows({ later, first }));
        // Rows without reference and court share one key.
        QVERIFY(!viewModel.mergePageRows({ makeCase({}, {}, u"a"_s), makeCase(u" "_s, u"\t"_s, u"b"_s) }));
        QCOMPARE(viewModel.caseCount(), duplicate ? 2 : 3);
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
        QTest::newRow("total, no current") << none << qint64(12) << qint64(3) << u"3 / 12"_s << 0.45;
        QTest::newRow("total 0") << qint64(3) << qint64(0) << qint64(2) << u"3 / 0"_s << 0.34;
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

    // The page text, shown number and progress value for each kind of paginator reading.
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

    // On the first page only an empty signature ends the loop; a page seen earlier (a wrapping
    // paginator) ends it unless it brought new cases.
    void pageEndDetection()
    {
        PageEndDetector detector;
        QVERIFY(!detector.isEndBeforeClick(u"A"_s, true));
        QVERIFY(detector.isEndBeforeClick(QString(), true));
        detector.leavePage(u"A"_s);
        detector.leavePage(u"B"_s);
        QVERIFY(detector.isEndBeforeClick(u"A"_s, true));
        QVERIFY(!detector.isEndBeforeClick(u"A"_s, false));
    }

    // The elapsed time is whole seconds on a monotonic clock, last updated at the stop.
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
        QCOMPARE(progress->elapsedSeconds(), 66);
        now += 5000;
        QSignalSpy finished(viewModel.get(), &ScraperViewModel::runFinished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(progress->elapsedSeconds(), 66);
    }

    // Without a file, opening and revealing do nothing; revealing asks the file manager on the
    // bus to select the file, and opens the containing folder when there is none.
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
        QCOMPARE(opened.urls, QList<QUrl> { file });

        FakeFileManager fileManager;
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.FileManager1"_s));
        viewModel.showInFinder();
        QTRY_COMPARE(fileManager.shown, QStringList { file.toString() });
        bus.unregisterService(u"org.freedesktop.FileManager1"_s);
        bus.unregisterObject(u"/org/freedesktop/FileManager1"_s);
        QCOMPARE(opened.urls, QList<QUrl> { file });

        viewModel.showInFinder();
        QTRY_COMPARE(opened.urls, (QList<QUrl> { file, QUrl::fromLocalFile(m_scratch.path()) }));
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
