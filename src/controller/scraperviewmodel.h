#pragma once

#include "controller/pagesequence.h"
#include "controller/scrapeprogress.h"
#include "portal/cancellation.h"
#include "portal/courtcase.h"
#include "portal/scrapefilters.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

class WebViewScraper;
struct PaginationInfo;
struct PageMove;

/** Page position and progress shown while a page of the case list is read. */
struct PagePosition
{
    qint64 shownNumber = 0;
    QString pageInfo;
    double progressValue = 0.0;
};

/** How the page loop ended: with the whole table read, or with part of it and why. */
struct PageLoopOutcome
{
    bool complete = true;
    /** Why cases are missing, for the user; empty when complete. */
    QString reason;
    /** The furthest page read and the number of pages, as shown. */
    qint64 lastPage = 0;
    std::optional<qint64> total;
};

/**
 * The application's controller: the form's fields (restored at creation), the current run's
 * progress, the collected cases and the screen to show. One run at a time is driven by a
 * coroutine on the GUI thread; stopScraping() cancels it at its next pause or check.
 * Every property setter emits its change signal only when the value really changes, except
 * `filters`, whose every write is published.
 */
class ScraperViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString login READ login WRITE setLogin NOTIFY loginChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(QString selectedApelacja READ selectedApelacja WRITE setSelectedApelacja NOTIFY
            selectedApelacjaChanged)
    Q_PROPERTY(ScrapeFilters filters READ filters WRITE setFilters NOTIFY filtersChanged)
    Q_PROPERTY(
        QUrl outputDirectory READ outputDirectory WRITE setOutputDirectory NOTIFY outputDirectoryChanged)
    /** The message shown on the form when a run cannot start; empty while absent. */
    Q_PROPERTY(QString loginError READ loginErrorText NOTIFY loginErrorChanged)
    Q_PROPERTY(bool hasLoginError READ hasLoginError NOTIFY loginErrorChanged)
    Q_PROPERTY(ScrapeProgress *progress READ progress NOTIFY progressChanged)
    /** Number of collected cases; read them with caseColumnValues(). */
    Q_PROPERTY(qsizetype caseCount READ caseCount NOTIFY casesChanged)
    Q_PROPERTY(ViewState viewState READ viewState WRITE setViewState NOTIFY viewStateChanged)
    /** True from a valid start until the run's ending. */
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    /** The eleven appellate region names, in the form's order. */
    Q_PROPERTY(QStringList apelacje READ apelacje CONSTANT)

public:
    /** The screen shown. */
    enum class ViewState { login, progress, results };
    Q_ENUM(ViewState)

    /** Drives the real portal. */
    explicit ScraperViewModel(QObject *parent = nullptr);
    /** Drives the portal whose login page is @p loginUrl (a local test portal). */
    explicit ScraperViewModel(const QUrl &loginUrl, QObject *parent = nullptr);
    /** Stops a run under way; its driver is freed once the run has unwound. */
    ~ScraperViewModel() override;

    [[nodiscard]] static QStringList apelacje();
    static inline const QString defaultApelacja = QStringLiteral("Apelacja wrocławska");

    [[nodiscard]] QString login() const { return m_login; }
    void setLogin(const QString &login);
    [[nodiscard]] QString password() const { return m_password; }
    void setPassword(const QString &password);
    [[nodiscard]] QString selectedApelacja() const { return m_selectedApelacja; }
    void setSelectedApelacja(const QString &apelacja);
    [[nodiscard]] ScrapeFilters filters() const { return m_filters; }
    void setFilters(const ScrapeFilters &filters);
    [[nodiscard]] QUrl outputDirectory() const { return m_outputDirectory; }
    void setOutputDirectory(const QUrl &folder);
    [[nodiscard]] std::optional<QString> loginError() const { return m_loginError; }
    [[nodiscard]] QString loginErrorText() const { return m_loginError.value_or(QString()); }
    [[nodiscard]] bool hasLoginError() const { return m_loginError.has_value(); }
    void setLoginError(const std::optional<QString> &message);
    [[nodiscard]] ScrapeProgress *progress() const { return m_progress; }
    /** Publishes only for a different record; the controller takes ownership of it. */
    void setProgress(ScrapeProgress *progress);
    [[nodiscard]] QList<CourtCase> cases() const { return m_cases; }
    void setCases(const QList<CourtCase> &cases);
    [[nodiscard]] qsizetype caseCount() const { return m_cases.size(); }
    [[nodiscard]] ViewState viewState() const { return m_viewState; }
    void setViewState(ViewState state);
    /** Canonical forms of the keys of the collected cases. */
    [[nodiscard]] QSet<QString> seenKeys() const { return m_seenKeys; }
    void setSeenKeys(const QSet<QString> &keys);
    [[nodiscard]] bool isRunning() const { return m_isRunning; }
    [[nodiscard]] WebViewScraper *scraper() const { return m_scraper; }

    /** The nine column texts of the case at @p row; empty outside the list. */
    Q_INVOKABLE [[nodiscard]] QStringList caseColumnValues(int row) const;
    /** Sets one filter field by its name ("status", "dataOd", "dataDo", "podmiot", "przedmiot"). */
    Q_INVOKABLE void setFilter(const QString &field, const QString &value);
    /**
     * The folder chooser's choice: shown at once and remembered for the next launch. It clears a
     * refusal of the previous folder; the new one is checked at the next start.
     */
    Q_INVOKABLE void chooseOutputDirectory(const QUrl &folder);

    /**
     * Checks the form and the output folder, saves the settings and starts a run; a refusal is
     * shown in loginError. Does nothing while a run is under way.
     */
    Q_INVOKABLE void startScraping();
    /** Cancels the run; it ends at its next pause or check. */
    Q_INVOKABLE void stopScraping();
    /** Opens the written workbook in the default application; nothing without one. */
    Q_INVOKABLE void openOutputFile();
    /** Shows the written workbook in the file manager; nothing without one. */
    Q_INVOKABLE void showInFinder();
    /** "Wróć" after a failed run: a fresh progress record, no cases, the form. */
    Q_INVOKABLE void returnToForm();
    /** "Nowe wyszukiwanie" on the results: the same return to the form as returnToForm(). */
    Q_INVOKABLE void startNewSearch();

    /** The de-duplication key: trimmed reference, "|", trimmed court. */
    [[nodiscard]] static QString caseKey(const CourtCase &record);
    /** Adds the records whose key is new, one at a time; true when none was added. */
    bool mergePageRows(const QList<CourtCase> &records);
    /** Page text and progress for a paginator reading; safe for any numbers. */
    [[nodiscard]] static PagePosition pagePosition(
        std::optional<qint64> current, std::optional<qint64> total, qint64 pageNumber);
    /** How a run's failure reads for the user: Polish, with the system's cause where there is one. */
    [[nodiscard]] static QString describeError(const std::exception &error);
    /** @p reading with its page numbers worked out from @p pageSize when its own range is smaller:
     *  a short last page would otherwise read as a page of its own size. */
    [[nodiscard]] static PaginationInfo withPageSize(PaginationInfo reading, qint64 pageSize);

    /** Test-only: the monotonic clock, in milliseconds, that the elapsed time is measured on. */
    void setMonotonicClockForTesting(std::function<qint64()> clock);

Q_SIGNALS:
    void loginChanged();
    void passwordChanged();
    void selectedApelacjaChanged();
    void filtersChanged();
    void outputDirectoryChanged();
    void loginErrorChanged();
    void progressChanged();
    void casesChanged();
    void viewStateChanged();
    void seenKeysChanged();
    void isRunningChanged();
    void scrapeTaskChanged();
    void timerTaskChanged();
    /** A run has reached one of its endings. */
    void runFinished();

private:
    void initialize(const QUrl &loginUrl);
    void setRunning(bool running);
    [[nodiscard]] std::optional<QString> outputDirectoryProblem() const;
    [[nodiscard]] qint64 monotonicMilliseconds() const;

    static QCoro::Task<> runScrapeTask(
        QPointer<ScraperViewModel> weakSelf, std::shared_ptr<CancellationToken> token);
    static QCoro::Task<> runElapsedTimer(
        QPointer<ScraperViewModel> weakSelf, std::shared_ptr<CancellationToken> token);
    QCoro::Task<> runPipeline(std::shared_ptr<CancellationToken> token);
    QCoro::Task<PageLoopOutcome> scrapeAllPages(std::shared_ptr<CancellationToken> token);
    /** Clicks on to the next page (see WebViewScraper::goToNextPage()) and makes the loop's pause after a page
     *  that came. Static: the driver outlives its controller, which may go meanwhile. */
    static QCoro::Task<std::optional<PageMove>> moveToNextPage(WebViewScraper *scraper, bool mustMove);
    void updateElapsedSeconds();
    void completeRun(const QUrl &outputFile);
    void handleCancellation();
    void handlePipelineError(const QString &description);
    void cancelTimer();

    QString m_login;
    QString m_password;
    QString m_selectedApelacja = defaultApelacja;
    ScrapeFilters m_filters;
    QUrl m_outputDirectory;
    std::optional<QString> m_loginError;
    // Whether m_loginError refuses the output folder, which a new choice of folder answers.
    bool m_loginErrorIsAboutFolder = false;
    ScrapeProgress *m_progress = nullptr;
    QList<CourtCase> m_cases;
    ViewState m_viewState = ViewState::login;
    WebViewScraper *m_scraper = nullptr;
    std::optional<QCoro::Task<>> m_scrapeTask;
    std::optional<QCoro::Task<>> m_timerTask;
    QSet<QString> m_seenKeys;
    bool m_isRunning = false;
    // Set once the application's event loop has ended: nothing can unwind a run after that.
    bool m_eventLoopEnded = false;

    std::shared_ptr<CancellationToken> m_runToken;
    // Elapsed time of the current run: monotonic, so a clock set back never shows negative time.
    qint64 m_runStartMilliseconds = 0;
    QElapsedTimer m_monotonicClock;
    std::function<qint64()> m_clockForTesting;
};
