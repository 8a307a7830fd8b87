// Whole runs of the controller in the real web engine against the fake portal, one per ending.
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"
#include "export/excelerror.h"
#include "export/xlsxwriter.h"
#include "fakeportal.h"
#include "logcapture.h"
#include "portal/scrapererror.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;
using enum ScrapeProgress::ScrapePhase;

class ControllerRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ScraperViewModel> m_viewModel;
    // The phases and status texts of the run's records, in the order they were published.
    QList<ScrapePhase> m_phases;
    QStringList m_statuses;

    [[nodiscard]] QStringList collectedKeys() const
    {
        QStringList keys;
        for (const CourtCase &record : m_viewModel->cases())
            keys.append(record.sygnatura + u'|' + record.sad);
        return keys;
    }

    [[nodiscard]] QStringList writtenFiles() const
    {
        return QDir(m_folder->path()).entryList({ u"*.xlsx"_s }, QDir::Files);
    }

private Q_SLOTS:
    void initTestCase()
    {
        applyApplicationIdentity();
        QStandardPaths::setTestModeEnabled(true);
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
        m_phases.clear();
        m_statuses.clear();
        connect(m_viewModel.get(), &ScraperViewModel::progressChanged, this, [this] {
            ScrapeProgress *progress = m_viewModel->progress();
            m_phases.append(progress->phase());
            connect(progress, &ScrapeProgress::phaseChanged, this,
                [this, progress] { m_phases.append(progress->phase()); });
            connect(progress, &ScrapeProgress::statusTextChanged, this,
                [this, progress] { m_statuses.append(progress->statusText()); });
        });
    }

    void cleanup() { m_viewModel.reset(); }

    // A full run at real speed: every status in order, duplicates across pages dropped, and the
    // workbook, read by openpyxl, holding exactly the portal's distinct cases in collection order.
    void completedRun()
    {
        setPauseScaleForTesting(1.0);
        m_viewModel->setSelectedApelacja(u"Apelacja gdańska"_s);
        QSignalSpy finished(m_viewModel.get(), &ScraperViewModel::runFinished);
        m_viewModel->startScraping();
        QVERIFY(finished.wait(180000));
        const QStringList expected = m_portal->allCaseKeys(QUrlQuery { { u"region"_s, u"gdańska"_s } });
        QVERIFY(expected.size() > 100);
        QCOMPARE(collectedKeys(), expected);
        QCOMPARE(m_phases,
            (QList { idle, launching, loggingIn, selectingApelacja, navigating, filtering, scraping, saving,
                done }));
        const QString status = u"Gotowe! Pobrano %1 spraw."_s.arg(expected.size());
        QVERIFY(m_statuses.contains(u"Pobieranie strony 2..."_s));
        m_statuses.removeIf([](const QString &text) { return text.startsWith(u"Pobieranie strony "_s); });
        QCOMPARE(m_statuses,
            (QStringList { u"Uruchamianie..."_s, u"Logowanie..."_s, u"Zamykanie powiadomień..."_s,
                u"Wybieranie apelacji..."_s, u"Nawigacja do spraw..."_s, u"Stosowanie filtrów..."_s,
                u"Zapisywanie XLSX..."_s, status }));
        const ScrapeProgress *progress = m_viewModel->progress();
        QCOMPARE(progress->progressValue(), 1.0);
        QCOMPARE(progress->recordCount(), expected.size());
        QCOMPARE(m_viewModel->viewState(), ScraperViewModel::ViewState::results);
        QCOMPARE(writtenFiles(), QStringList { progress->outputFile().fileName() });
        QVERIFY(progress->outputFile().fileName().startsWith(u"gdańska_sprawy_"_s));

        QProcess reader;
        reader.start(QStringLiteral(VELMORIA_PYTHON3),
            { QStringLiteral(VELMORIA_WORKBOOK_READER), progress->outputFile().toLocalFile() });
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonObject book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
        QStringList read { book.value(u"sheets"_s).toArray().at(0).toString() };
        for (const auto &row : book.value(u"rows"_s).toArray())
            read.append(QVariant(row.toArray().toVariantList()).toStringList().join(u'\t'));
        QStringList written { u"Sprawy"_s, tableColumns.join(u'\t') };
        for (int row = 0; row < m_viewModel->caseCount(); ++row)
            written.append(m_viewModel->caseColumnValues(row).join(u'\t'));
        QCOMPARE(read, written);
    }

    void endings_data()
    {
        QTest::addColumn<QJsonObject>("portal");
        QTest::addColumn<QString>("podmiot");
        QTest::addColumn<QString>("stopAt");
        QTest::addColumn<bool>("folderGone");
        QTest::addColumn<QList<ScrapePhase>>("phases");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("offersFile");

        const QList steps { idle, launching, loggingIn, selectingApelacja, navigating, filtering };
        const QString loginFailed = ScraperError::loginFailed().errorDescription();
        // The output folder is gone by the time of the write: the message names that cause.
        const QString writeFailed
            = ExcelError::writeFailed().errorDescription() + u' ' + qt_error_string(ENOENT);
        const QString stoppedStatus = u"Zatrzymano. Pobrano %1 spraw."_s;
        QTest::newRow("no results") << QJsonObject() << u"Nikt Taki Nie Istnieje"_s << QString() << false
                                    << steps + QList { done } << u"Brak wyników."_s << QString() << false;
        QTest::newRow("stopped during login")
            << QJsonObject() << QString() << u"login"_s << false
            << QList { idle, launching, loggingIn, stopped } << stoppedStatus << QString() << false;
        QTest::newRow("stopped while paging")
            << QJsonObject() << QString() << u"paging"_s << false << steps + QList { scraping, stopped }
            << stoppedStatus << QString() << true;
        // The stopped ending's write is best effort: no file, and no error shown.
        QTest::newRow("stopped while paging, write fails")
            << QJsonObject() << QString() << u"paging"_s << true << steps + QList { scraping, stopped }
            << stoppedStatus << QString() << false;
        QTest::newRow("login failed") << QJsonObject { { u"acceptLogin"_s, false } } << QString() << QString()
                                      << false << QList { idle, launching, loggingIn, error }
                                      << u"Błąd: "_s + loginFailed << loginFailed << false;
        QTest::newRow("write failed")
            << QJsonObject() << QString() << QString() << true << steps + QList { scraping, saving, error }
            << u"Błąd: "_s + writeFailed << writeFailed << false;
        // A next-page control that wraps from the last page to the first still ends the run.
        QTest::newRow("wrapping paginator") << QJsonObject { { u"wrapPaging"_s, true } } << QString()
                                            << QString() << false << steps + QList { scraping, saving, done }
                                            << u"Gotowe! Pobrano %1 spraw."_s << QString() << true;
    }

    // Each ending's phases, status, error, screen, log, collected cases and offered workbook.
    void endings()
    {
        QFETCH(QJsonObject, portal);
        QFETCH(QString, podmiot);
        QFETCH(QString, stopAt);
        QFETCH(bool, folderGone);
        QFETCH(QList<ScrapePhase>, phases);
        QFETCH(QString, status);
        QFETCH(QString, error);
        QFETCH(bool, offersFile);
        QVERIFY(m_portal->configure(portal));
        m_viewModel->setFilter(u"podmiot"_s, podmiot);
        LogCapture log(lcViewModel());
        QSignalSpy finished(m_viewModel.get(), &ScraperViewModel::runFinished);
        m_viewModel->startScraping();
        ScrapeProgress *progress = m_viewModel->progress();
        connect(progress, &ScrapeProgress::phaseChanged, this, [&] {
            if (folderGone && progress->phase() == scraping)
                QVERIFY(QDir(m_folder->path()).removeRecursively());
        });
        // What the page loop showed when the stop came, which the stopped ending must keep.
        std::pair<QString, double> shownAtStop;
        connect(progress,
            stopAt == u"login" ? &ScrapeProgress::phaseChanged : &ScrapeProgress::recordCountChanged, this,
            [&] {
                if (stopAt.isEmpty())
                    return;
                shownAtStop = { progress->pageInfo(), progress->progressValue() };
                m_viewModel->stopScraping();
            });
        QVERIFY(finished.wait(180000));

        QCOMPARE(m_phases, phases);
        QCOMPARE(progress->statusText(),
            QString(status).replace(u"%1"_s, QString::number(m_viewModel->caseCount())));
        QCOMPARE(progress->errorMessageText(), error);
        QCOMPARE(progress->hasErrorMessage(), !error.isEmpty());
        QCOMPARE(
            log.messages(), error.isEmpty() ? QStringList() : QStringList { u"Pipeline error: "_s + error });
        QCOMPARE(log.types().count(QtCriticalMsg), error.isEmpty() ? 0 : 1);
        QCOMPARE(m_viewModel->viewState(),
            error.isEmpty() ? ScraperViewModel::ViewState::results : ScraperViewModel::ViewState::progress);
        QCOMPARE(progress->outputFile().isLocalFile(), offersFile);
        QCOMPARE(writtenFiles().size(), offersFile ? 1 : 0);
        QVERIFY(!m_viewModel->isRunning());

        const QStringList portalKeys = m_portal->allCaseKeys(QUrlQuery { { u"region"_s, u"wrocławska"_s } });
        if (phases.contains(saving)) {
            QCOMPARE(collectedKeys(), portalKeys);
            QCOMPARE(progress->progressValue(), error.isEmpty() ? 1.0 : 0.95);
        } else if (stopAt == u"paging") {
            QVERIFY(m_viewModel->caseCount() > 0 && m_viewModel->caseCount() < portalKeys.size());
            QCOMPARE(std::pair(progress->pageInfo(), progress->progressValue()), shownAtStop);
        } else {
            QCOMPARE(m_viewModel->caseCount(), 0);
            QCOMPARE(progress->pageInfo(), u"\u2014"_s);
            QCOMPARE(progress->progressValue(), phases.contains(done) ? 1.0 : 0.05);
        }
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
