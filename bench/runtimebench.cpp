// Wall time of one whole run at the real pauses against the fake portal answering at once: the login,
// every step and page, and the workbook. Compares builds: run it a few times per setting and take the
// median. With --async the portal's list comes asynchronously (as a real one's does), without delay.
#include "controller/appidentity.h"
#include "controller/scrapeprogress.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    applyApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Wall time of a whole run against the fake portal at the real pauses."_s);
    parser.addHelpOption();
    const QCommandLineOption party(u"podmiot"_s, u"The party filter (default none)."_s, u"text"_s);
    const QCommandLineOption async(u"async"_s, u"The portal answers asynchronously, without delay."_s);
    parser.addOptions({ party, async });
    parser.process(app);

    FakePortal portal;
    if (!portal.isRunning() || (parser.isSet(async) && !portal.configure({ { u"async"_s, true } }))) {
        std::fprintf(stderr, "FAIL: fake portal: %s\n", qPrintable(portal.errorString()));
        return 2;
    }
    QTemporaryDir folder;
    ScraperViewModel viewModel(portal.url(u"/login"_s));
    viewModel.setLogin(u"bench"_s);
    viewModel.setPassword(u"bench"_s);
    viewModel.setSelectedApelacja(u"Apelacja gdańska"_s);
    viewModel.setFilter(u"podmiot"_s, parser.value(party));
    viewModel.setOutputDirectory(QUrl::fromLocalFile(folder.path()));

    QElapsedTimer clock;
    int result = 0;
    QObject::connect(&viewModel, &ScraperViewModel::runFinished, &viewModel, [&] {
        const ScrapeProgress *progress = viewModel.progress();
        std::printf("%.2f s\t%s\t%s\n", clock.nsecsElapsed() / 1e9, qPrintable(progress->statusText()),
            qPrintable(progress->errorMessageText()));
        result = progress->phase() == ScrapePhase::done ? 0 : 1;
        QCoreApplication::quit();
    });
    clock.start();
    viewModel.startScraping();
    if (!viewModel.isRunning()) {
        std::fprintf(stderr, "FAIL: the run did not start: %s\n", qPrintable(viewModel.loginErrorText()));
        return 2;
    }
    app.exec();
    return result;
}
