#pragma once

#include "portal/cancellation.h"
#include "portal/courtcase.h"
#include "portal/localizederror.h"
#include "portal/pagereading.h"
#include "portal/portalanswer.h"
#include "portal/scrapefilters.h"

#include <QCoroTask>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <chrono>
#include <memory>
#include <optional>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcScraper)

/** A page script threw, or the engine could not run it; carries the engine's message. */
class JavaScriptError : public LocalizedError
{
public:
    explicit JavaScriptError(QString message)
        : m_message(std::move(message))
    {
    }

    /** The engine's own message, e.g. "TypeError: Cannot read properties of null". */
    [[nodiscard]] QString message() const { return m_message; }
    [[nodiscard]] QString errorDescription() const override;

private:
    QString m_message;
};

/** A page of the portal could not be loaded at all (network, name, TLS or HTTP failure). */
class PageLoadError : public LocalizedError
{
public:
    explicit PageLoadError(QString reason)
        : m_reason(std::move(reason))
    {
    }

    /** "Nie udało się otworzyć strony portalu. " and the engine's reason, e.g. "net::ERR_NAME_NOT_RESOLVED",
     *  or the HTTP status, e.g. "HTTP 503". */
    [[nodiscard]] QString errorDescription() const override;

private:
    QString m_reason;
};

/** The portal's page stopped working (its process ended) or stopped answering scripts. */
class PageUnresponsiveError : public LocalizedError
{
public:
    enum class Kind { crashed, silent };

    explicit PageUnresponsiveError(Kind kind)
        : m_kind(kind)
    {
    }

    [[nodiscard]] Kind kind() const { return m_kind; }
    /** "Strona portalu przestała działać." or "Strona portalu nie odpowiada." */
    [[nodiscard]] QString errorDescription() const override;

private:
    Kind m_kind;
};

/** How a step that waited for its result ended, and the list it left shown. */
struct StepOutcome
{
    StepWait::Verdict verdict = StepWait::Verdict::wait;
    std::optional<ListReading> list;
    /** The label of the field that did not come, at StepWait::Verdict::missingField. */
    QString missingField;
};

/** A move to the next page that brought one, or that found the end of the list. */
struct PageMove
{
    enum class Kind {
        /** Another page shows. */
        moved,
        /** No other page came where none need come. */
        unchanged,
    };

    Kind kind = Kind::moved;
    /** The page left, as read in the script that clicked, and the list shown now. */
    std::optional<ListReading> left;
    std::optional<ListReading> shown;
    /** The run itself clicked the next-page control a second time, which may have gone past a page. */
    bool clickedNextAgain = false;
};

/**
 * Drives the court portal in a web view kept in a nearly invisible window, by page scripts.
 * Every asynchronous operation runs on the GUI thread; pauses end early with CancellationError
 * once the current run's token is cancelled, but a running page script is never interrupted.
 */
class WebViewScraper : public QObject
{
    Q_OBJECT

public:
    /** The portal's login page; the appellate region is chosen after login. */
    static inline const QUrl defaultLoginUrl = QUrl(QStringLiteral("https://portal.wroclaw.sa.gov.pl/login"));

    /** The fixed desktop user agent sent with every request. */
    static inline const QString userAgent = QStringLiteral(
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/120.0.0.0 Safari/537.36");

    /** Cookies and storage live under AppDataLocation + "/webengine". */
    explicit WebViewScraper(const QUrl &loginUrl = defaultLoginUrl, QObject *parent = nullptr);
    /** Cookies and storage live under @p profileStoragePath (tests point it at a temporary folder). */
    WebViewScraper(const QUrl &loginUrl, const QString &profileStoragePath, QObject *parent = nullptr);
    ~WebViewScraper() override;

    /** A load requested by loadURL() and still under way after this long is stopped. */
    static constexpr std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);
    /** Test-only: stop requested loads after @p timeout instead. */
    void setRequestTimeoutForTesting(std::chrono::milliseconds timeout);
    /** A page script with no answer after this long counts as a page that stopped answering. */
    static constexpr std::chrono::milliseconds scriptTimeout = std::chrono::seconds(30);
    /** How long a stop waits for the answer of a script already sent. */
    static constexpr std::chrono::milliseconds stopGrace = std::chrono::seconds(1);
    /** Test-only: give up on scripts after @p timeout instead. */
    void setScriptTimeoutForTesting(std::chrono::milliseconds timeout);
    /** Test-only: the case list's own address keeps the current scheme and port (a local portal's). */
    void setCaseListKeepsOriginForTesting(bool keep) { m_caseListKeepsOriginForTesting = keep; }

    /** The token of the run under way; pauses and checks throw once it is cancelled. */
    void setCancellationToken(std::shared_ptr<CancellationToken> token);
    [[nodiscard]] std::shared_ptr<CancellationToken> cancellationToken() const { return m_token; }

    [[nodiscard]] QWebEngineView *webView() const;
    [[nodiscard]] QWidget *offscreenWindow() const;
    [[nodiscard]] QWebEngineProfile *profile() const;
    [[nodiscard]] QUrl loginUrl() const;

    /** The login whose portal session the profile holds; empty when unknown or cleared. */
    [[nodiscard]] QString sessionLogin() const;

    // Primitives
    /**
     * Runs @p script, an expression (typically "(function() { ... })()"), in the shown page.
     * Returns its value; an invalid QVariant for null and undefined. Throws JavaScriptError when
     * the script throws or does not compile. Throws PageUnresponsiveError at once while the page's
     * process is gone, or when no answer comes within scriptTimeout. Once the run is stopped the
     * answer is awaited for stopGrace more, then CancellationError is thrown. A page given up on
     * has its process ended, so that the next load starts afresh. An empty answer given before the
     * script could be sent (a discarded page) throws PageUnresponsiveError as for a dead page.
     */
    QCoro::Task<QVariant> evaluateJS(QString script);
    /** Loads an absolute address (else ScraperError::invalidURL) and awaits waitForPageLoad(). */
    QCoro::Task<> loadURL(QString address);
    /**
     * Polls the loading state every 0.5 s, at most 30 times; gives up silently. A navigation
     * within the document (only the part after "#" changed) counts as finished.
     */
    QCoro::Task<> waitForPageLoad();
    /** A pause that throws CancellationError once the run's token is cancelled. */
    QCoro::Task<> sleep(double seconds);

    /**
     * Runs an action script (one that clicks or chooses on the page) like evaluateJS(), with the list read and
     * the page's request count marked in the same evaluation, right before it acts, for awaitStep().
     */
    QCoro::Task<QVariant> evaluateAction(QString script);
    /** A step waits this long for its result, in its pauses (its own pause included). */
    static constexpr double answerLimitSeconds = 30.0;
    /** Opening the case list may take as long as a request. */
    static constexpr double caseListLimitSeconds = 60.0;
    /**
     * Waits until the page shows the result of the last action (see StepWait), reading it every
     * StepWait::pollSeconds of pauses from the action on; the step's pause of @p pauseSeconds passes first.
     */
    QCoro::Task<StepOutcome> awaitStep(StepGoal goal, double pauseSeconds, double limitSeconds);

    /** Whether two addresses name the same page as the engine spells them: an empty path is "/" and a
     *  scheme's default port may be left out. */
    [[nodiscard]] static bool isSameAddress(const QUrl &first, const QUrl &second);

    /** How a script value is written in the log: "nil" or "Optional(...)". */
    [[nodiscard]] static QString describeScriptValue(const QVariant &value);

    [[nodiscard]] static QString escapeJS(const QString &text);
    [[nodiscard]] static QString fillFieldJS(const QString &label, const QString &value);
    [[nodiscard]] static QString fillInputJS(const QString &label, const QString &value);
    [[nodiscard]] static QString clickAtPointJS(int x, int y);

    // Login
    /**
     * Loads the login page, fills and submits the form, and ends once verifyLoggedIn() has seen the
     * portal. A session stored for another login is cleared first; one for the same login is reused.
     * The login page is waited for up to requestTimeout; throws PageLoadError when the engine reports
     * that it failed to load, or when it has not come by then.
     */
    QCoro::Task<> login(QString login, QString password);
    /**
     * 15 probes of the page, 1 s apart; throws ScraperError::loginFailed when none succeeds, or
     * PageLoadError at once when a load requested by loadURL() has failed. Called once the login's own
     * page has come.
     */
    QCoro::Task<> verifyLoggedIn();

    [[nodiscard]] static QString loginFillJS(const QString &login);
    [[nodiscard]] static QString passwordFillJS(const QString &password);
    [[nodiscard]] static QString submitJS();
    [[nodiscard]] static QString loggedInProbeJS();
    [[nodiscard]] static QString loginFormShownJS();

    // Pop-ups and region
    QCoro::Task<> dismissPopups();
    QCoro::Task<> selectApelacja(QString apelacja);

    // Case list and filters
    // Each step that acts on the case list (the case-list link or its address, the filter button, the largest
    // page size, the next-page control) ends when the page shows its result (awaitStep()).
    /**
     * Opens the case list and waits until it shows with the fields @p filters will need; throws
     * NoAnswerError::Step::caseList when it does not show, ScraperError::elementNotFound when a field
     * does not come.
     */
    QCoro::Task<> navigateToSprawy(ScrapeFilters filters = {});
    /**
     * Sets every filter given and presses the search button; throws ScraperError::elementNotFound naming
     * a field, option or button that a set filter needs and that is missing, or a filter not in place at the
     * search, and NoAnswerError::Step::search when the list never shows the search's answer.
     */
    QCoro::Task<> applyFilters(ScrapeFilters filters);
    /** The form labels of the fields @p filters fills ("Status" where the status is not "Wszystkie"). */
    [[nodiscard]] static QStringList fieldsToFill(const ScrapeFilters &filters);

    // Page size, rows and paginator
    QCoro::Task<> setMaxPageSize();
    QCoro::Task<qint64> getRowCount();
    QCoro::Task<PaginationInfo> getPaginationInfo();

    // Table rows and paging
    QCoro::Task<QList<CourtCase>> extractPageData();
    QCoro::Task<QString> pageSignature();
    /**
     * Clicks on to the next page and waits until it shows; std::nullopt when there is no next-page control.
     * Where there is no need of another page (@p mustMove false), a click that brings none ends the list.
     * Otherwise a lost click is repeated at once, and a page not shown after the wait's limit, with nothing
     * of the step open, is asked for once more, by its number where the paginator shows numbers. Throws
     * NoAnswerError::Step::nextPage when no page comes.
     */
    QCoro::Task<std::optional<PageMove>> goToNextPage(bool mustMove);
    /** Whether the list shows that it holds no case: by its paginator or table, or as the search left it. */
    QCoro::Task<bool> isEmptyResultShown();
    /** Whether the page shows the login form again: a login and a password field. */
    QCoro::Task<bool> isLoginFormShown();

private:
    QCoro::Task<> forgetSessionOfOtherLogin(const QString &login);
    QCoro::Task<> fillWithRetries(QString script, bool isPassword);
    void rememberSessionLogin(const QString &login);
    void throwIfRequestedLoadFailed() const;
    void endUnresponsivePage();
    /** A load of a new document has been asked for or is under way. */
    [[nodiscard]] bool isLoadUnderWay() const;
    /** Reads the list and marks where the page's requests stand, for a step that loads an address. */
    QCoro::Task<> markRequests();
    QCoro::Task<StepReading> readStep();
    /** The case list's own address on the host of @p current: "https://", the host and "/#/sprawy". */
    [[nodiscard]] QUrl caseListAddress(const QUrl &current) const;
    /** Clicks the paginator's control numbered @p page; false where none shows. */
    QCoro::Task<bool> clickPageNumber(qint64 page);
    /** A next page that did not come asked for once more; see goToNextPage(). */
    QCoro::Task<StepOutcome> askForNextPageAgain(PageMove &move, bool mustMove);

    struct Private;
    std::unique_ptr<Private> d;
    std::shared_ptr<CancellationToken> m_token;
    // Where the page's requests and its list stood at the last action.
    RequestMark m_mark;
    std::optional<ListReading> m_before;
    // The last search, or the case list where there was none, was answered with no rows.
    bool m_answeredEmpty = false;
    bool m_caseListKeepsOriginForTesting = false;
};
