#include "scraperviewmodel.h"

#include "controller/appidentity.h"
#include "controller/settingsstore.h"
#include "export/excelerror.h"
#include "export/outputfile.h"
#include "export/xlsxwriter.h"
#include "portal/localizederror.h"
#include "portal/unicodetext.h"
#include "portal/webviewscraper.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QTimer>

#include <QCoroTimer>

#include <limits>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace {

/** Space separators (Zs) and the tab: the only characters a key is trimmed of. */
bool isKeyWhitespace(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

QString trimmedForKey(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isKeyWhitespace(text.at(begin)))
        ++begin;
    while (end > begin && isKeyWhitespace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

qint64 saturatingIncrement(qint64 value)
{
    return value == std::numeric_limits<qint64>::max() ? value : value + 1;
}

/** Lets the caller's synchronous work finish first: a run's tasks begin after the start action. */
QCoro::Task<> yieldToEventLoop()
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(0);
    co_await timer;
}

/**
 * Awaits @p task and then ends the run, as a stop would, when @p owner has been destroyed meanwhile,
 * whether the task succeeded or failed: the member coroutine awaiting this must never resume into a
 * released controller, not even into its error handling.
 */
template <typename T> QCoro::Task<T> unlessGone(QPointer<ScraperViewModel> owner, QCoro::Task<T> task)
{
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            value = true;
        } else {
            value = co_await std::move(task);
        }
    } catch (...) {
        if (!owner)
            throw CancellationError();
        throw;
    }
    if (!owner)
        throw CancellationError();
    if constexpr (!std::is_void_v<T>)
        co_return std::move(*value);
}

} // namespace

ScraperViewModel::ScraperViewModel(QObject *parent)
    : QObject(parent)
{
    initialize(WebViewScraper::defaultLoginUrl);
}

ScraperViewModel::ScraperViewModel(const QUrl &loginUrl, QObject *parent)
    : QObject(parent)
{
    initialize(loginUrl);
}

ScraperViewModel::~ScraperViewModel()
{
    // Nothing is saved and no window is closed; a run still under way is told to stop. Its
    // coroutines may still be inside the driver, which therefore lives on until the run has
    // unwound (the scrape task frees it then). Once the application is ending no event loop will
    // unwind it, and a driver left over would outlive the web engine: its page must go before its
    // profile while both still can, so it goes with the controller (its callers never resume).
    if (m_isRunning && !m_eventLoopEnded)
        m_scraper->setParent(nullptr);
    if (m_runToken)
        m_runToken->cancel();
}

void ScraperViewModel::initialize(const QUrl &loginUrl)
{
    m_monotonicClock.start();
    m_filters.status = u"Wszystkie"_s;
    m_outputDirectory = defaultOutputDirectory();
    m_progress = new ScrapeProgress(this);
    m_scraper = new WebViewScraper(loginUrl, this);
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { m_eventLoopEnded = true; });

    const Credentials credentials = loadCredentials();
    setLogin(credentials.login);
    setPassword(credentials.password);
    setSelectedApelacja(loadApelacja(defaultApelacja));
    setOutputDirectory(loadOutputDirectory());
}

QStringList ScraperViewModel::apelacje()
{
    return {
        u"Apelacja białostocka"_s,
        u"Apelacja gdańska"_s,
        u"Apelacja katowicka"_s,
        u"Apelacja krakowska"_s,
        u"Apelacja lubelska"_s,
        u"Apelacja łódzka"_s,
        u"Apelacja poznańska"_s,
        u"Apelacja rzeszowska"_s,
        u"Apelacja szczecińska"_s,
        u"Apelacja warszawska"_s,
        u"Apelacja wrocławska"_s,
    };
}

void ScraperViewModel::setLogin(const QString &login)
{
    const bool same = UnicodeText::canonicallyEqual(m_login, login);
    m_login = login;
    if (!same)
        Q_EMIT loginChanged();
}

void ScraperViewModel::setPassword(const QString &password)
{
    const bool same = UnicodeText::canonicallyEqual(m_password, password);
    m_password = password;
    if (!same)
        Q_EMIT passwordChanged();
}

void ScraperViewModel::setSelectedApelacja(const QString &apelacja)
{
    const bool same = UnicodeText::canonicallyEqual(m_selectedApelacja, apelacja);
    m_selectedApelacja = apelacja;
    if (!same)
        Q_EMIT selectedApelacjaChanged();
}

void ScraperViewModel::setFilters(const ScrapeFilters &filters)
{
    // The filter record has no equality: every write is a change.
    m_filters = filters;
    Q_EMIT filtersChanged();
}

void ScraperViewModel::setOutputDirectory(const QUrl &folder)
{
    const bool same = m_outputDirectory == folder;
    m_outputDirectory = folder;
    if (!same)
        Q_EMIT outputDirectoryChanged();
}

void ScraperViewModel::setLoginError(const std::optional<QString> &message)
{
    const bool same = m_loginError.has_value() == message.has_value()
        && (!message || UnicodeText::canonicallyEqual(*m_loginError, *message));
    m_loginError = message;
    // Only startScraping() knows a message to be about the folder, and says so after this.
    m_loginErrorIsAboutFolder = false;
    if (!same)
        Q_EMIT loginErrorChanged();
}

void ScraperViewModel::setProgress(ScrapeProgress *progress)
{
    if (m_progress == progress)
        return;
    ScrapeProgress *previous = m_progress;
    m_progress = progress;
    if (m_progress && m_progress->parent() != this)
        m_progress->setParent(this);
    Q_EMIT progressChanged();
    // Views may still hold the old record until they have seen the change.
    if (previous && previous->parent() == this)
        previous->deleteLater();
}

void ScraperViewModel::setCases(const QList<CourtCase> &cases)
{
    const bool same = m_cases == cases;
    m_cases = cases;
    if (!same)
        Q_EMIT casesChanged();
}

void ScraperViewModel::setViewState(ViewState state)
{
    if (m_viewState == state)
        return;
    m_viewState = state;
    Q_EMIT viewStateChanged();
}

void ScraperViewModel::setSeenKeys(const QSet<QString> &keys)
{
    const bool same = m_seenKeys == keys;
    m_seenKeys = keys;
    if (!same)
        Q_EMIT seenKeysChanged();
}

void ScraperViewModel::setRunning(bool running)
{
    if (m_isRunning == running)
        return;
    m_isRunning = running;
    Q_EMIT isRunningChanged();
}

QStringList ScraperViewModel::caseColumnValues(int row) const
{
    if (row < 0 || row >= m_cases.size())
        return {};
    return m_cases.at(row).columnValues();
}

void ScraperViewModel::setFilter(const QString &field, const QString &value)
{
    ScrapeFilters filters = m_filters;
    if (field == u"status")
        filters.status = value;
    else if (field == u"dataOd")
        filters.dataOd = value;
    else if (field == u"dataDo")
        filters.dataDo = value;
    else if (field == u"podmiot")
        filters.podmiot = value;
    else if (field == u"przedmiot")
        filters.przedmiot = value;
    else
        return;
    setFilters(filters);
}

void ScraperViewModel::chooseOutputDirectory(const QUrl &folder)
{
    if (!folder.isLocalFile())
        return;
    setOutputDirectory(folder);
    saveOutputDirectory(folder);
    if (m_loginErrorIsAboutFolder)
        setLoginError(std::nullopt);
}

std::optional<QString> ScraperViewModel::outputDirectoryProblem() const
{
    const QString path = m_outputDirectory.toLocalFile();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return u"Wybrany folder nie istnieje: %1. Wybierz inny folder."_s.arg(QDir::toNativeSeparators(path));
    if (!info.isDir())
        return u"Wybrana ścieżka nie jest folderem: %1. Wybierz inny folder."_s.arg(
            QDir::toNativeSeparators(path));
    // A real probe: permission bits say nothing on read-only mounts or for a privileged user.
    QTemporaryFile probe(QDir(path).filePath(u".velmoria-XXXXXX"_s));
    if (!probe.open())
        return u"Nie można zapisywać w wybranym folderze: %1. Wybierz inny folder."_s.arg(
            QDir::toNativeSeparators(path));
    return std::nullopt;
}

qint64 ScraperViewModel::monotonicMilliseconds() const
{
    return m_clockForTesting ? m_clockForTesting() : m_monotonicClock.elapsed();
}

void ScraperViewModel::setMonotonicClockForTesting(std::function<qint64()> clock)
{
    m_clockForTesting = std::move(clock);
}

void ScraperViewModel::startScraping()
{
    // One run at a time: a second pipeline would drive the same page and mix its cases in.
    if (m_isRunning)
        return;
    if (m_login.isEmpty() || m_password.isEmpty()) {
        setLoginError(u"Podaj login i hasło."_s);
        return;
    }
    // Checked before anything changes: a folder that cannot take the workbook would otherwise
    // fail only at the very end and lose every collected case.
    if (const auto problem = outputDirectoryProblem()) {
        setLoginError(problem);
        m_loginErrorIsAboutFolder = true;
        return;
    }
    setLoginError(std::nullopt);
    saveCredentials(m_login, m_password);
    saveApelacja(m_selectedApelacja);
    setCases({});
    setSeenKeys({});

    auto *progress = new ScrapeProgress(this);
    setProgress(progress);
    progress->setPhase(ScrapePhase::launching);
    progress->setStatusText(u"Uruchamianie..."_s);
    progress->setStartTime(QDateTime::currentDateTime());
    m_runStartMilliseconds = monotonicMilliseconds();
    setViewState(ViewState::progress);
    setRunning(true);

    // The previous run has ended or been told to stop; its token is not reused.
    m_runToken = std::make_shared<CancellationToken>();
    m_scraper->setCancellationToken(m_runToken);
    m_timerTask.emplace(runElapsedTimer(QPointer(this), m_runToken));
    Q_EMIT timerTaskChanged();
    m_scrapeTask.emplace(runScrapeTask(QPointer(this), m_runToken));
    Q_EMIT scrapeTaskChanged();
}

void ScraperViewModel::stopScraping() { cancelTimer(); }

void ScraperViewModel::cancelTimer()
{
    // The pipeline and the timer share one token; the timer's last update is made right here,
    // at the moment of the cancellation.
    if (!m_runToken || m_runToken->isCancelled())
        return;
    m_runToken->cancel();
    updateElapsedSeconds();
}

void ScraperViewModel::updateElapsedSeconds()
{
    if (!m_progress || !m_progress->startTime().isValid())
        return;
    const qint64 elapsed = monotonicMilliseconds() - m_runStartMilliseconds;
    m_progress->setElapsedSeconds(std::max<qint64>(elapsed, 0) / 1000);
}

QCoro::Task<> ScraperViewModel::runElapsedTimer(
    QPointer<ScraperViewModel> weakSelf, std::shared_ptr<CancellationToken> token)
{
    co_await yieldToEventLoop();
    while (!token->isCancelled()) {
        try {
            co_await cancellableSleep(token, 1.0);
        } catch (const CancellationError &) {
            // The last update was made by whoever cancelled.
            co_return;
        }
        if (ScraperViewModel *self = weakSelf.data())
            self->updateElapsedSeconds();
    }
}

QCoro::Task<> ScraperViewModel::runScrapeTask(
    QPointer<ScraperViewModel> weakSelf, std::shared_ptr<CancellationToken> token)
{
    // Taken before anything can release the controller; see the destructor.
    const QPointer<WebViewScraper> driver = weakSelf->m_scraper;
    const auto releaseOrphanedDriver = qScopeGuard([&weakSelf, &driver] {
        if (!weakSelf && driver)
            driver->deleteLater();
    });
    co_await yieldToEventLoop();
    ScraperViewModel *self = weakSelf.data();
    if (!self)
        co_return;
    // Nothing may escape: an exception of a task nobody awaits would be dropped silently.
    std::optional<QString> failure;
    bool cancelled = false;
    try {
        co_await self->runPipeline(token);
    } catch (const CancellationError &) {
        cancelled = true;
    } catch (const std::exception &error) {
        failure = describeError(error);
    } catch (...) {
        failure = u"Nieznany błąd."_s;
    }
    if (!weakSelf)
        co_return;
    if (cancelled)
        self->handleCancellation();
    else if (failure)
        self->handlePipelineError(*failure);
}

QCoro::Task<> ScraperViewModel::runPipeline(std::shared_ptr<CancellationToken> token)
{
    const QPointer<ScraperViewModel> alive(this);
    const auto step = [this](std::optional<ScrapePhase> phase, const QString &status, double value) {
        if (phase)
            m_progress->setPhase(*phase);
        m_progress->setStatusText(status);
        m_progress->setProgressValue(value);
    };

    step(ScrapePhase::loggingIn, u"Logowanie..."_s, 0.05);
    co_await unlessGone(alive, m_scraper->login(m_login, m_password));

    token->checkCancellation();
    step(std::nullopt, u"Zamykanie powiadomień..."_s, 0.10);
    co_await unlessGone(alive, m_scraper->dismissPopups());

    token->checkCancellation();
    step(ScrapePhase::selectingApelacja, u"Wybieranie apelacji..."_s, 0.15);
    co_await unlessGone(alive, m_scraper->selectApelacja(m_selectedApelacja));

    token->checkCancellation();
    step(ScrapePhase::navigating, u"Nawigacja do spraw..."_s, 0.20);
    co_await unlessGone(alive, m_scraper->navigateToSprawy(m_filters));

    token->checkCancellation();
    step(ScrapePhase::filtering, u"Stosowanie filtrów..."_s, 0.25);
    co_await unlessGone(alive, m_scraper->applyFilters(m_filters));

    token->checkCancellation();
    co_await unlessGone(alive, m_scraper->setMaxPageSize());
    co_await unlessGone(alive, m_scraper->sleep(2.0));
    const qint64 rowCount = co_await unlessGone(alive, m_scraper->getRowCount());

    if (rowCount == 0) {
        // An empty table is no result only where the portal says so, or where the search's answer left it empty.
        if (!co_await unlessGone(alive, m_scraper->isEmptyResultShown()))
            throw NoAnswerError(NoAnswerError::Step::search);
        step(ScrapePhase::done, u"Brak wyników."_s, 1.0);
        completeRun(QUrl());
        co_return;
    }

    m_progress->setPhase(ScrapePhase::scraping);
    const PageLoopOutcome outcome = co_await scrapeAllPages(token);

    token->checkCancellation();
    step(ScrapePhase::saving, u"Zapisywanie XLSX..."_s, 0.95);
    const QUrl destination = makeOutputURL(m_selectedApelacja, m_filters.podmiot, m_outputDirectory);
    writeXLSX(m_cases, destination);

    if (outcome.complete) {
        step(ScrapePhase::done, u"Gotowe! Pobrano %1 spraw."_s.arg(m_cases.size()), 1.0);
    } else {
        // Saved like a whole run, but nobody may take the file for all the cases.
        qCWarning(lcViewModel, "Incomplete run: %s", qUtf8Printable(outcome.reason));
        m_progress->setErrorMessage(outcome.reason + u" Plik zawiera tylko pobrane sprawy."_s);
        const QString page = outcome.total ? u"strona %1 z %2"_s.arg(outcome.lastPage).arg(*outcome.total)
                                           : u"strona %1"_s.arg(outcome.lastPage);
        step(ScrapePhase::done, u"Niekompletne: pobrano %1 spraw (%2)."_s.arg(m_cases.size()).arg(page), 1.0);
    }
    completeRun(destination);
}

PagePosition ScraperViewModel::pagePosition(
    std::optional<qint64> current, std::optional<qint64> total, qint64 pageNumber)
{
    PagePosition position;
    position.shownNumber = current.value_or(pageNumber);
    if (total)
        position.pageInfo = u"%1 / %2"_s.arg(position.shownNumber).arg(*total);
    else
        position.pageInfo = QString::number(position.shownNumber);
    // Converting to double first: no integer arithmetic can overflow, whatever the paginator says.
    if (total && *total >= 1)
        position.progressValue
            = 0.3 + (static_cast<double>(position.shownNumber) * 0.6) / static_cast<double>(*total);
    else
        position.progressValue = std::min(0.3 + static_cast<double>(pageNumber) * 0.02, 0.9);
    return position;
}

QString ScraperViewModel::describeError(const std::exception &error)
{
    // A failed save names its cause (no space, no permission, ...) in the system's words.
    if (const auto *excel = dynamic_cast<const ExcelError *>(&error); excel && !excel->detail().isEmpty())
        return excel->errorDescription() + u' ' + excel->detail();
    if (const auto *localized = dynamic_cast<const LocalizedError *>(&error))
        return localized->errorDescription();
    // Anything else is unforeseen; its own text (often "std::bad_alloc") says little to a user by itself.
    return u"Nieoczekiwany błąd: "_s + QString::fromUtf8(error.what());
}

PaginationInfo ScraperViewModel::withPageSize(PaginationInfo reading, qint64 pageSize)
{
    if (!reading.range || pageSize < 1 || pageSize <= reading.range->last - reading.range->first + 1)
        return reading;
    // The range's numbers are never negative; dividing rounds up without overflowing.
    const auto pages = [pageSize](qint64 items) { return items / pageSize + (items % pageSize != 0); };
    reading.current = pages(reading.range->first);
    reading.total = pages(reading.range->count);
    return reading;
}

QCoro::Task<PageLoopOutcome> ScraperViewModel::scrapeAllPages(std::shared_ptr<CancellationToken> token)
{
    const QPointer<ScraperViewModel> alive(this);
    qint64 pageNumber = 1;
    qint64 largestPageSize = 0;
    bool showedNumbers = false;
    bool readLastPage = false;
    PageEndDetector endDetector;
    PageRangeChain rangeChain;
    QList<SkippedPositions> skipped;
    PageLoopOutcome outcome;
    // Why the pages stopped before the last one; none where they did not, or where that is still to be told.
    std::optional<QString> cutShort;
    bool pageStoppedWorking = false;
    bool nextPageUnanswered = false;
    // The positions the run's own second click went past, where it did.
    std::optional<QString> overshot;
    token->checkCancellation();
    try {
        while (true) {
            const PaginationInfo reading = co_await unlessGone(alive, m_scraper->getPaginationInfo());
            if (const std::optional<SkippedPositions> gap = rangeChain.follow(reading.range))
                skipped.append(*gap);
            if (reading.range)
                largestPageSize = std::max(largestPageSize, reading.range->last - reading.range->first + 1);
            const PaginationInfo paginator = withPageSize(reading, largestPageSize);
            showedNumbers = showedNumbers || paginator.showsNumbers();
            const bool lastPage = paginator.isLastPage();
            const PagePosition position = pagePosition(paginator.current, paginator.total, pageNumber);
            m_progress->setPageInfo(position.pageInfo);
            m_progress->setProgressValue(position.progressValue);
            m_progress->setStatusText(u"Pobieranie strony %1..."_s.arg(position.shownNumber));

            const QList<CourtCase> records = co_await unlessGone(alive, m_scraper->extractPageData());
            const bool noNew = mergePageRows(records);
            m_progress->setRecordCount(m_cases.size());
            // A portal that answers a page with an earlier one again has still been read as far as before.
            if (position.shownNumber >= outcome.lastPage) {
                outcome.lastPage = position.shownNumber;
                outcome.total = paginator.total;
            }
            readLastPage = readLastPage || lastPage;

            const QString signature = co_await unlessGone(alive, m_scraper->pageSignature());
            if (endDetector.isEndBeforeClick(signature, noNew))
                break;
            // Where the paginator says another page must come, the driver waits for it and asks again; elsewhere a
            // click that brings no other page ends the list.
            const std::optional<PageMove> move
                = co_await unlessGone(alive, moveToNextPage(m_scraper, showedNumbers && !lastPage));
            if (!move || move->kind == PageMove::Kind::unchanged)
                break;
            // Decided before the page's rows are read: a page the run itself went past is not read as the next one.
            if ((overshot = describeOvershoot(*move)))
                break;

            pageNumber = saturatingIncrement(pageNumber);
            endDetector.leavePage(signature);
            token->checkCancellation();
        }
    } catch (const PageUnresponsiveError &error) {
        // Once the last page is read, nothing is missing; otherwise the cases read so far are kept and
        // saved, and with none there is nothing to keep.
        pageStoppedWorking = true;
        if (!readLastPage) {
            if (m_cases.isEmpty())
                throw;
            cutShort = error.errorDescription();
        }
    } catch (const NoAnswerError &error) {
        if (error.step() != NoAnswerError::Step::nextPage)
            throw;
        // Like a page that never came, with or without page numbers; whether the session expired meanwhile is
        // told below.
        nextPageUnanswered = true;
    }
    if (overshot) {
        cutShort = overshot;
    } else if (!readLastPage && (showedNumbers || nextPageUnanswered) && !pageStoppedWorking) {
        try {
            cutShort = co_await unlessGone(alive, m_scraper->isLoginFormShown()) ? u"Sesja portalu wygasła."_s
                                                                                 : u"Portal nie pokazał kolejnej strony."_s;
        } catch (const PageUnresponsiveError &error) {
            cutShort = error.errorDescription();
        }
    }
    QStringList reasons;
    if (!skipped.isEmpty())
        reasons.append(PageRangeChain::describe(skipped));
    if (cutShort)
        reasons.append(*cutShort);
    outcome.complete = reasons.isEmpty();
    outcome.reason = reasons.join(u' ');
    co_return outcome;
}

QCoro::Task<std::optional<PageMove>> ScraperViewModel::moveToNextPage(WebViewScraper *scraper, bool mustMove)
{
    std::optional<PageMove> move = co_await scraper->goToNextPage(mustMove);
    if (move && move->kind == PageMove::Kind::moved)
        co_await scraper->sleep(1.2);
    co_return move;
}

QString ScraperViewModel::caseKey(const CourtCase &record)
{
    return trimmedForKey(record.sygnatura) + u'|' + trimmedForKey(record.sad);
}

bool ScraperViewModel::mergePageRows(const QList<CourtCase> &records)
{
    bool noNew = true;
    for (const CourtCase &record : records) {
        // Keys are kept in canonical form so that equivalent spellings meet.
        const QString key = UnicodeText::canonicalForm(caseKey(record));
        if (m_seenKeys.contains(key))
            continue;
        m_seenKeys.insert(key);
        Q_EMIT seenKeysChanged();
        m_cases.append(record);
        Q_EMIT casesChanged();
        noNew = false;
    }
    return noNew;
}

void ScraperViewModel::completeRun(const QUrl &outputFile)
{
    cancelTimer();
    m_progress->setOutputFile(outputFile);
    setViewState(ViewState::results);
    setRunning(false);
    Q_EMIT runFinished();
}

void ScraperViewModel::handleCancellation()
{
    cancelTimer();
    m_progress->setPhase(ScrapePhase::stopped);
    m_progress->setStatusText(u"Zatrzymano. Pobrano %1 spraw."_s.arg(m_cases.size()));
    if (!m_cases.isEmpty()) {
        const QUrl destination = makeOutputURL(m_selectedApelacja, m_filters.podmiot, m_outputDirectory);
        try {
            writeXLSX(m_cases, destination);
            m_progress->setOutputFile(destination);
        } catch (const std::exception &error) {
            // The results screen then offers no file and says why, so nobody takes the cases for saved.
            const QString description = describeError(error);
            qCWarning(lcViewModel, "Save after stop failed: %s", qUtf8Printable(description));
            m_progress->setErrorMessage(description);
        }
    }
    setViewState(ViewState::results);
    setRunning(false);
    Q_EMIT runFinished();
}

void ScraperViewModel::handlePipelineError(const QString &description)
{
    cancelTimer();
    qCCritical(lcViewModel, "Pipeline error: %s", qUtf8Printable(description));
    m_progress->setPhase(ScrapePhase::error);
    m_progress->setErrorMessage(description);
    m_progress->setStatusText(u"Błąd: "_s + description);
    setRunning(false);
    Q_EMIT runFinished();
}

void ScraperViewModel::returnToForm()
{
    setProgress(new ScrapeProgress(this));
    setCases({});
    setSeenKeys({});
    setViewState(ViewState::login);
}

void ScraperViewModel::startNewSearch() { returnToForm(); }

void ScraperViewModel::openOutputFile()
{
    const QUrl file = m_progress->outputFile();
    if (file.isEmpty())
        return;
    QDesktopServices::openUrl(file);
}

void ScraperViewModel::showInFinder()
{
    const QUrl file = m_progress->outputFile();
    if (file.isEmpty())
        return;
#if defined(Q_OS_MACOS)
    QProcess::startDetached(u"open"_s, { u"-R"_s, file.toLocalFile() });
#elif defined(Q_OS_WIN)
    QProcess::startDetached(u"explorer"_s, { u"/select,"_s + QDir::toNativeSeparators(file.toLocalFile()) });
#else
    // Whatever keeps the file manager from selecting the workbook, its folder is opened instead.
    const auto openFolder = [file](const QString &reason) {
        qCWarning(lcViewModel, "Show in file manager failed: %s", qUtf8Printable(reason));
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath()));
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A call on a bus that is not there never reports back at all.
    if (!bus.isConnected()) {
        openFolder(bus.lastError().message());
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s,
        u"/org/freedesktop/FileManager1"_s, u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList { file.toString() } << QString();
    // Asked without waiting: a file manager slow to answer must not freeze the window.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [openFolder](QDBusPendingCallWatcher *reply) {
        reply->deleteLater();
        if (reply->isError())
            openFolder(reply->error().message());
    });
#endif
}
