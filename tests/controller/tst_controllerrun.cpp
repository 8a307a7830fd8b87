// Whole runs of the controller in the real web engine against the fake portal, one per ending.
#include "controller/scraperviewmodel.h"
#include "controller/settingsstore.h"
#include "export/excelerror.h"
#include "export/outputfile.h"
#include "fakeportal.h"
#include "logcapture.h"
#include "portal/scrapererror.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int runTimeoutMs = 180000;

/** The phases and status texts of the records the controller shows, in the order they were published. */
class PhaseRecorder : public QObject
{
public:
    explicit PhaseRecorder(ScraperViewModel &viewModel)
    {
        connect(&viewModel, &ScraperViewModel::progressChanged, this, [this, &viewModel] {
            ScrapeProgress *progress = viewModel.progress();
            phases.append(progress->phase());
            connect(progress, &ScrapeProgress::phaseChanged, this,
                [this, progress] { phases.append(progress->phase()); });
            connect(progress, &ScrapeProgress::statusTextChanged, this,
                [this, progress] { statuses.append(progress->statusText()); });
        });
    }
    QList<ScrapePhase> phases;
    QStringList statuses;
};

} // namespace

class ControllerRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ScraperViewModel> m_viewModel;

    /** The cases the portal holds for the region and filter, as "reference|court" in table order. */
    QStringList portalCaseKeys(const QString &query)
    {
        QNetworkAccessManager network;
        QNetworkReply *reply = network.get(QNetworkRequest(m_portal->url(u"/api/sprawy/all?"_s + query)));
        QSignalSpy done(reply, &QNetworkReply::finished);
        if (!reply->isFinished() && !done.wait(10000))
            return {};
        QStringList keys;
        const QJsonArray cases = QJsonDocument::fromJson(reply->readAll()).array();
        for (const auto &item : cases)
            keys.append(item[u"sygnatura"].toString() + u'|' + item[u"sad"].toString());
        reply->deleteLater();
        return keys;
    }

    /** Starts a run with the given login and waits for its ending. */
    bool startAndWait(const std::function<void()> &duringRun = {})
    {
        QSignalSpy finished(m_viewModel.get(), &ScraperViewModel::runFinished);
        m_viewModel->startScraping();
        if (!m_viewModel->isRunning())
            return false;
        if (duringRun)
            duringRun();
        return finished.wait(runTimeoutMs);
    }

    [[nodiscard]] QStringList writtenFiles() const
    {
        return QDir(m_folder->path()).entryList({ u"*.xlsx"_s }, QDir::Files);
    }

    /** The state an ending leaves: phase, status line, screen, and whether a file is offered. */
    void verifyEnding(
        ScrapePhase phase, const QString &status, ScraperViewModel::ViewState screen, bool offersFile)
    {
        const ScrapeProgress *progress = m_viewModel->progress();
        QCOMPARE(progress->phase(), phase);
        QCOMPARE(progress->statusText(), status);
        QCOMPARE(m_viewModel->viewState(), screen);
        QCOMPARE(progress->outputFile().isLocalFile(), offersFile);
        QCOMPARE(writtenFiles().size(), offersFile ? 1 : 0);
        QVERIFY(!m_viewModel->isRunning());
    }

    /** Folders where the workbook of this or the next minutes would go, so that writing it fails. */
    bool blockWorkbookNames()
    {
        const QDateTime now = QDateTime::currentDateTime();
        for (int minute = 0; minute < 10; ++minute) {
            const QUrl blocked = makeOutputURL(m_viewModel->selectedApelacja(), QString(),
                m_viewModel->outputDirectory(), now.addSecs(60 * minute));
            if (!QDir().mkpath(blocked.toLocalFile()))
                return false;
        }
        return true;
    }

    /** "reference|court" of the collected cases, in collection order. */
    [[nodiscard]] QStringList collectedKeys() const
    {
        QStringList keys;
        for (const CourtCase &record : m_viewModel->cases())
            keys.append(record.sygnatura + u'|' + record.sad);
        return keys;
    }

private Q_SLOTS:
    void initTestCase()
    {
        prepareTestEnvironment();
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
    }

    void init()
    {
        QVERIFY(m_portal->reset());
        setPauseScaleForTesting(0.05);
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        // Each run starts from the first launch's settings, not from the region an earlier run saved.
        QSettings().clear();
        m_viewModel = std::make_unique<ScraperViewModel>(m_portal->url(u"/login"_s));
        m_viewModel->setLogin(u"anna"_s);
        m_viewModel->setPassword(u"tajne hasło"_s);
        m_viewModel->setOutputDirectory(QUrl::fromLocalFile(m_folder->path()));
    }

    void cleanup() { m_viewModel.reset(); }

    // A full run at real speed: every page read, duplicates across pages dropped, the workbook
    // holding exactly the distinct cases in the order they were collected.
    void completedRun()
    {
        setPauseScaleForTesting(1.0);
        m_viewModel->setSelectedApelacja(u"Apelacja gdańska"_s);
        PhaseRecorder recorder(*m_viewModel);
        QVERIFY(startAndWait());
        ScrapeProgress *progress = m_viewModel->progress();
        using enum ScrapeProgress::ScrapePhase;
        QCOMPARE(recorder.phases,
            (QList<ScrapePhase> { idle, launching, loggingIn, selectingApelacja, navigating, filtering,
                scraping, saving, done }));
        QStringList steps = recorder.statuses;
        steps.removeIf([](const QString &text) { return text.startsWith(u"Pobieranie strony "_s); });
        QCOMPARE(steps,
            (QStringList { u"Uruchamianie..."_s, u"Logowanie..."_s, u"Zamykanie powiadomień..."_s,
                u"Wybieranie apelacji..."_s, u"Nawigacja do spraw..."_s, u"Stosowanie filtrów..."_s,
                u"Zapisywanie XLSX..."_s, progress->statusText() }));
        QVERIFY(recorder.statuses.contains(u"Pobieranie strony 2..."_s));

        const QStringList expected = portalCaseKeys(u"region=gdańska"_s);
        QVERIFY(expected.size() > 100);
        verifyEnding(done, u"Gotowe! Pobrano %1 spraw."_s.arg(expected.size()),
            ScraperViewModel::ViewState::results, true);
        QCOMPARE(progress->progressValue(), 1.0);
        QCOMPARE(progress->recordCount(), expected.size());
        QVERIFY(!progress->hasErrorMessage());
        QCOMPARE(collectedKeys(), expected);
        const QUrl file = progress->outputFile();
        QVERIFY(QFileInfo(file.toLocalFile()).fileName().startsWith(u"gdańska_sprawy_"_s));

        QProcess reader;
        reader.start(
            QStringLiteral(VELMORIA_PYTHON3), { QFINDTESTDATA("readworkbook.py"), file.toLocalFile() });
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonArray book = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(book.at(0).toString(), u"Sprawy"_s);
        const QJsonArray rows = book.at(1).toArray();
        QCOMPARE(rows.size(), expected.size() + 1);
        for (qsizetype i = 0; i < m_viewModel->caseCount(); ++i) {
            const QStringList values = m_viewModel->caseColumnValues(int(i));
            const QJsonArray row = rows.at(i + 1).toArray();
            QCOMPARE(row.size(), 9);
            for (int column = 0; column < 9; ++column)
                QCOMPARE(row.at(column).toString(), values.at(column));
        }
    }

    // Nothing found: straight from filtering to done, no file, no page information.
    void noResults()
    {
        m_viewModel->setFilter(u"podmiot"_s, u"Nikt Taki Nie Istnieje"_s);
        PhaseRecorder recorder(*m_viewModel);
        QVERIFY(startAndWait());
        ScrapeProgress *progress = m_viewModel->progress();
        using enum ScrapeProgress::ScrapePhase;
        QCOMPARE(recorder.phases,
            (QList<ScrapePhase> {
                idle, launching, loggingIn, selectingApelacja, navigating, filtering, done }));
        verifyEnding(done, u"Brak wyników."_s, ScraperViewModel::ViewState::results, false);
        QCOMPARE(progress->progressValue(), 1.0);
        QCOMPARE(progress->pageInfo(), u"\u2014"_s);
        QCOMPARE(progress->recordCount(), 0);
    }

    // A stop during the login ends the run as stopped, with nothing collected and no file.
    void stoppedDuringLogin()
    {
        QVERIFY(startAndWait([this] {
            ScrapeProgress *progress = m_viewModel->progress();
            connect(progress, &ScrapeProgress::phaseChanged, m_viewModel.get(), [this, progress] {
                if (progress->phase() == ScrapePhase::loggingIn)
                    m_viewModel->stopScraping();
            });
        }));
        verifyEnding(ScrapePhase::stopped, u"Zatrzymano. Pobrano 0 spraw."_s,
            ScraperViewModel::ViewState::results, false);
        QVERIFY(!m_viewModel->progress()->hasErrorMessage());
    }

    void stoppedWhilePaging_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("workbook written") << true;
        QTest::newRow("write fails") << false;
    }

    // A stop while paging writes the cases read so far and offers that workbook; should the write
    // fail, the run still ends as stopped, offering no file and showing no error.
    void stoppedWhilePaging()
    {
        QFETCH(bool, writable);
        QVERIFY(writable || blockWorkbookNames());
        QString pageInfoAtStop;
        double progressAtStop = 0;
        QVERIFY(startAndWait([&] {
            ScrapeProgress *progress = m_viewModel->progress();
            connect(progress, &ScrapeProgress::recordCountChanged, m_viewModel.get(), [&, progress] {
                pageInfoAtStop = progress->pageInfo();
                progressAtStop = progress->progressValue();
                m_viewModel->stopScraping();
            });
        }));
        ScrapeProgress *progress = m_viewModel->progress();
        const qsizetype count = m_viewModel->caseCount();
        QVERIFY(count > 0);
        verifyEnding(ScrapePhase::stopped, u"Zatrzymano. Pobrano %1 spraw."_s.arg(count),
            ScraperViewModel::ViewState::results, writable);
        QVERIFY(!progress->hasErrorMessage());
        QCOMPARE(progress->pageInfo(), pageInfoAtStop);
        QCOMPARE(progress->progressValue(), progressAtStop);
        QVERIFY(count < portalCaseKeys(u"region=wrocławska"_s).size());
    }

    // A refused login fails the run: error phase, the message shown twice, one error log line.
    void loginFailed()
    {
        QVERIFY(m_portal->configure({ { u"acceptLogin"_s, false } }));
        LogCapture log(lcViewModel());
        QVERIFY(startAndWait());
        ScrapeProgress *progress = m_viewModel->progress();
        const QString message = ScraperError::loginFailed().errorDescription();
        verifyEnding(ScrapePhase::error, u"Błąd: "_s + message, ScraperViewModel::ViewState::progress, false);
        QCOMPARE(progress->errorMessageText(), message);
        const QStringList lines = log.startingWith(u"Pipeline error: "_s);
        QCOMPARE(lines, QStringList { u"Pipeline error: "_s + message });
        QCOMPARE(log.types().count(QtCriticalMsg), 1);
    }

    // A workbook that cannot be written fails the completed run after saving was shown.
    void writeFailed()
    {
        QVERIFY(blockWorkbookNames());
        PhaseRecorder recorder(*m_viewModel);
        QVERIFY(startAndWait());
        ScrapeProgress *progress = m_viewModel->progress();
        const QString message = ExcelError::writeFailed().errorDescription();
        QCOMPARE(recorder.phases.mid(recorder.phases.size() - 3),
            (QList<ScrapePhase> { ScrapePhase::scraping, ScrapePhase::saving, ScrapePhase::error }));
        QVERIFY(recorder.statuses.contains(u"Zapisywanie XLSX..."_s));
        verifyEnding(ScrapePhase::error, u"Błąd: "_s + message, ScraperViewModel::ViewState::progress, false);
        QCOMPARE(progress->errorMessageText(), message);
        QCOMPARE(progress->progressValue(), 0.95);
        QVERIFY(m_viewModel->caseCount() > 0);
    }

    // A next-page control that wraps from the last page to the first still ends the run, with
    // exactly the distinct cases.
    void wrappingPaginator()
    {
        QVERIFY(m_portal->configure({ { u"wrapPaging"_s, true } }));
        QVERIFY(startAndWait());
        const QStringList expected = portalCaseKeys(u"region=wrocławska"_s);
        verifyEnding(ScrapePhase::done, u"Gotowe! Pobrano %1 spraw."_s.arg(expected.size()),
            ScraperViewModel::ViewState::results, true);
        QCOMPARE(collectedKeys(), expected);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ControllerRunTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_controllerrun.moc"
