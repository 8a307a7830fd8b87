#pragma once

#include "portal/cancellation.h"
#include "portal/courtcase.h"
#include "portal/localizederror.h"
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

/** The paginator's range "a - b z n" as it reads. */
struct PaginatorRange
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 count = 0;

    friend bool operator==(const PaginatorRange &, const PaginatorRange &) = default;
};

/** The paginator's reading: current page and number of pages, each possibly unknown. */
struct PaginationInfo
{
    std::optional<qint64> current;
    std::optional<qint64> total;
    /** Present when the paginator shows a range; current and total were worked out from it. */
    std::optional<PaginatorRange> range;

    /** Whether the paginator shows any page numbers at all. */
    [[nodiscard]] bool showsNumbers() const { return current || total; }
    /** The range ends at its total, or, without a range, the page shown is at least the total. */
    [[nodiscard]] bool isLastPage() const;

    /** Two readings show the same page: the same range, or without one the same numbers. */
    friend bool operator==(const PaginationInfo &, const PaginationInfo &) = default;
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
     * Runs an action script (one that clicks or chooses on the page) like evaluateJS(), with the page's
     * request count marked right before it acts, for awaitAnswer().
     */
    QCoro::Task<QVariant> evaluateAction(QString script);
    /** A step waits this long for the portal's answer, in its pauses (its own pause included). */
    static constexpr double answerLimitSeconds = 30.0;
    /**
     * Waits for the portal to answer the last action: the step's pause of @p pauseSeconds, then, while
     * requests begun after the action are open, further pauses up to answerLimitSeconds in all (see
     * AnswerWait). Throws NoAnswerError when the answer does not come.
     */
    QCoro::Task<> awaitAnswer(double pauseSeconds);

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
     * 15 probes of the page, 1 s apart; throws ScraperError::loginFailed when none succeeds. While a
     * load requested by loadURL() has not succeeded, the page shown is not the one it asked for, and
     * its probes never count; when it has failed, PageLoadError is thrown at once.
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
    // Each step that acts on the page (the case-list link or its address, the filter button, the largest
    // page size, the next-page control) waits for the portal's answer (awaitAnswer()), and throws
    // NoAnswerError when it does not come.
    QCoro::Task<> navigateToSprawy();
    QCoro::Task<> applyFilters(ScrapeFilters filters);

    // Page size, rows and paginator
    QCoro::Task<> setMaxPageSize();
    QCoro::Task<qint64> getRowCount();
    QCoro::Task<PaginationInfo> getPaginationInfo();

    // Table rows and paging
    QCoro::Task<QList<CourtCase>> extractPageData();
    QCoro::Task<QString> pageSignature();
    QCoro::Task<bool> goToNextPage();
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
    /** Marks where the page's requests stand, for a step that loads an address. */
    QCoro::Task<> markRequests();
    QCoro::Task<std::optional<RequestActivity>> requestActivity();

    struct Private;
    std::unique_ptr<Private> d;
    std::shared_ptr<CancellationToken> m_token;
    // Where the page's requests stood at the last action.
    RequestMark m_mark;
};
