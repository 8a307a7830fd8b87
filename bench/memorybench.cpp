// Resident memory of the application over a long run: the real application (its process setup, main
// window and hidden portal window) on a private X server through the xcb platform, scraping the fake
// portal to its last page. Prints VmRSS of this process at every page; the growth from page 5 to the
// last must stay under 30 MB.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include "app/velmoriaapp.h"
#include "controller/scrapeprogress.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/cancellation.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int defaultCases = 3000;
constexpr double growthLimitMegabytes = 30.0;
// The first pages still load the engine's code and caches; growth is measured from here on.
constexpr int firstMeasuredPage = 5;

/** VmRSS of this process in MB (not the engine's helper processes), or -1. */
double residentMegabytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

struct Settings
{
    int cases = defaultCases;
    double pauseScale = 1.0;
};

Settings parseSettings(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Resident memory per page over a whole run against the fake portal."_s);
    parser.addHelpOption();
    const QCommandLineOption cases(u"cases"_s,
        u"Cases the portal holds (50 per page; default %1)."_s.arg(defaultCases), u"n"_s,
        QString::number(defaultCases));
    const QCommandLineOption pauseScale(u"pause-scale"_s,
        u"Every pause of the run lasts this many times its real length (default 1)."_s, u"factor"_s, u"1"_s);
    parser.addOptions({ cases, pauseScale });
    parser.process(arguments);
    Settings settings;
    settings.cases = std::max(1, parser.value(cases).toInt());
    settings.pauseScale = std::max(0.0, parser.value(pauseScale).toDouble());
    return settings;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const Settings settings = parseSettings(arguments);

    // A private X server, as the application gets on a VM or remote desktop: no GPU, so OpenGL
    // is Mesa's software renderer. Xvfb writes its display number to the descriptor it is given.
    QProcess xvfb;
    xvfb.start(u"Xvfb"_s,
        { u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s, u"0"_s, u"1600x1000x24"_s });
    if (!xvfb.waitForReadyRead(30000)) {
        std::fprintf(stderr, "FAIL: Xvfb did not start: %s\n", qPrintable(xvfb.errorString()));
        return 2;
    }
    qputenv("DISPLAY", ":" + xvfb.readAllStandardOutput().trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Chromium refuses its sandbox as root.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QStandardPaths::setTestModeEnabled(true);

    int result = 0;
    {
        VelmoriaApp app(argc, argv);
        setPauseScaleForTesting(settings.pauseScale);
        FakePortal portal;
        QTemporaryDir folder;
        if (!portal.isRunning() || !portal.configure(QJsonObject { { u"cases"_s, settings.cases } })) {
            std::fprintf(stderr, "FAIL: fake portal: %s\n", qPrintable(portal.errorString()));
            return 2;
        }
        auto *viewModel = new ScraperViewModel(portal.url(u"/login"_s));
        if (!app.openWindow(viewModel)) {
            std::fprintf(stderr, "FAIL: the main window could not be built\n");
            return 2;
        }

        std::printf("%d cases, pause scale %g, platform %s, display %s\n", settings.cases,
            settings.pauseScale, qPrintable(QGuiApplication::platformName()), qgetenv("DISPLAY").constData());
        std::printf("start: RSS %.1f MB\n", residentMegabytes());
        std::fflush(stdout);

        QList<double> pageResident; // at the start of each page, the first page at index 0
        double afterPages = -1; // once the last page is read, before the workbook is written
        QObject::connect(viewModel, &ScraperViewModel::runFinished, viewModel, [&] {
            const ScrapeProgress *progress = viewModel->progress();
            std::printf("end: RSS %.1f MB, %s\n", residentMegabytes(), qPrintable(progress->statusText()));
            const qsizetype pages = pageResident.size();
            const double last = afterPages;
            if (progress->phase() != ScrapePhase::done || pages <= firstMeasuredPage || last < 0) {
                std::printf("FAIL: the run did not reach page %d (%s)\n", firstMeasuredPage + 1,
                    qPrintable(progress->errorMessageText()));
                result = 1;
            } else {
                const double growth = last - pageResident.at(firstMeasuredPage - 1);
                std::printf("pages %lld, cases %lld: RSS at page %d %.1f MB, at the last page %.1f MB, "
                            "growth %.1f MB (limit %.0f MB)\n",
                    static_cast<long long>(pages), static_cast<long long>(viewModel->caseCount()),
                    firstMeasuredPage, pageResident.at(firstMeasuredPage - 1), last, growth,
                    growthLimitMegabytes);
                result = growth < growthLimitMegabytes ? 0 : 1;
                std::printf("%s\n", result == 0 ? "PASS" : "FAIL: resident memory grows over the run");
            }
            std::fflush(stdout);
            QCoreApplication::quit();
        });

        viewModel->setLogin(u"bench"_s);
        viewModel->setPassword(u"bench"_s);
        viewModel->setOutputDirectory(QUrl::fromLocalFile(folder.path()));
        viewModel->startScraping();
        if (!viewModel->isRunning()) {
            std::fprintf(
                stderr, "FAIL: the run did not start: %s\n", qPrintable(viewModel->loginErrorText()));
            return 2;
        }
        // Each run has its own progress record, made by the start.
        QObject::connect(viewModel->progress(), &ScrapeProgress::pageInfoChanged, viewModel, [&] {
            pageResident.append(residentMegabytes());
            std::printf("page %lld (%s): RSS %.1f MB, %lld cases\n",
                static_cast<long long>(pageResident.size()), qPrintable(viewModel->progress()->pageInfo()),
                pageResident.last(), static_cast<long long>(viewModel->caseCount()));
            std::fflush(stdout);
        });
        QObject::connect(viewModel->progress(), &ScrapeProgress::phaseChanged, viewModel, [&] {
            if (viewModel->progress()->phase() != ScrapePhase::saving)
                return;
            afterPages = residentMegabytes();
            std::printf("after the last page: RSS %.1f MB, %lld cases\n", afterPages,
                static_cast<long long>(viewModel->caseCount()));
            std::fflush(stdout);
        });
        app.exec();
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return result;
}
