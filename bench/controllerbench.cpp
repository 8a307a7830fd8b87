// Cost of the page loop beyond its fixed pauses: the page scripts of one 100-row page of the fake
// portal (paginator, rows, signature before and after) plus merging its rows into the collected cases.
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/webviewscraper.h"
#include "support/runtask.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

FakePortal *portal = nullptr;
ScraperViewModel *viewModel = nullptr;

/** Logs in and opens the case list at its largest page size once for all measurements. */
bool openCaseList()
{
    WebViewScraper *scraper = viewModel->scraper();
    try {
        runTask(scraper->login(u"bench"_s, u"bench"_s));
        runTask(scraper->dismissPopups());
        runTask(scraper->selectApelacja(u"Apelacja wrocławska"_s));
        runTask(scraper->navigateToSprawy());
        runTask(scraper->setMaxPageSize());
        runTask(scraper->sleep(2.0));
        return runTask(scraper->getRowCount()) >= 100;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "could not open the case list: %s\n", error.what());
        return false;
    }
}

void pageLoopOverhead(benchmark::State &state)
{
    WebViewScraper *scraper = viewModel->scraper();
    qint64 cases = 0;
    double scriptMilliseconds = 0;
    double mergeMilliseconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const PaginationInfo paginator = runTask(scraper->getPaginationInfo());
        const QList<CourtCase> records = runTask(scraper->extractPageData());
        const QString signature = runTask(scraper->pageSignature());
        const QString after = runTask(scraper->pageSignature());
        scriptMilliseconds += clock.nsecsElapsed() / 1e6;
        clock.restart();
        // Each page is merged into an empty run, so every row is new work.
        viewModel->setCases({});
        viewModel->setSeenKeys({});
        const PagePosition position = ScraperViewModel::pagePosition(paginator.current, paginator.total, 1);
        viewModel->progress()->setPageInfo(position.pageInfo);
        viewModel->progress()->setProgressValue(position.progressValue);
        viewModel->mergePageRows(records);
        viewModel->progress()->setRecordCount(viewModel->caseCount());
        mergeMilliseconds += clock.nsecsElapsed() / 1e6;
        cases += records.size();
        benchmark::DoNotOptimize(after == signature);
    }
    const double pages = double(state.iterations());
    state.counters["rows_per_page"] = double(cases) / pages;
    state.counters["script_ms_per_page"] = scriptMilliseconds / pages;
    state.counters["merge_ms_per_page"] = mergeMilliseconds / pages;
    state.counters["overhead_ms_per_page"] = (scriptMilliseconds + mergeMilliseconds) / pages;
    state.counters["overhead_ms_per_case"] = (scriptMilliseconds + mergeMilliseconds) / double(cases);
}
BENCHMARK(pageLoopOverhead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

/** The merge alone, for 100 fresh rows. */
void mergeHundredRows(benchmark::State &state)
{
    QList<CourtCase> rows;
    for (int i = 0; i < 100; ++i)
        rows.append(CourtCase(
            { u"I C %1/25"_s.arg(i), u"Sąd Rejonowy dla Wrocławia-Śródmieścia"_s, u"I Wydział Cywilny"_s }));
    for (auto _ : state) {
        viewModel->setCases({});
        viewModel->setSeenKeys({});
        benchmark::DoNotOptimize(viewModel->mergePageRows(rows));
    }
}
BENCHMARK(mergeHundredRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    applyApplicationIdentity();
    FakePortal fakePortal;
    if (!fakePortal.isRunning()) {
        std::fprintf(stderr, "fake portal: %s\n", qPrintable(fakePortal.errorString()));
        return 1;
    }
    portal = &fakePortal;
    ScraperViewModel controller(fakePortal.url(u"/login"_s));
    viewModel = &controller;
    if (!openCaseList())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
