#pragma once

#include "portal/cancellation.h"
#include "portal/courtcase.h"
#include "portal/scrapefilters.h"

#include <QCoroTask>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <optional>

class QWebEngineView;
class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcScraper)

/** The paginator's reading: current page and number of pages, each possibly unknown. */
struct PaginationInfo
{
    std::optional<qint64> current;
    std::optional<qint64> total;
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

    explicit WebViewScraper(const QUrl &loginUrl = defaultLoginUrl, QObject *parent = nullptr);
    ~WebViewScraper() override;

    /** The token of the run under way; pauses and checks throw once it is cancelled. */
    void setCancellationToken(std::shared_ptr<CancellationToken> token);
    [[nodiscard]] std::shared_ptr<CancellationToken> cancellationToken() const { return m_token; }

    [[nodiscard]] QWebEngineView *webView() const;
    [[nodiscard]] QWidget *offscreenWindow() const;

    // Primitives
    /** The script's value; an invalid QVariant for null and undefined. Throws JavaScriptError. */
    QCoro::Task<QVariant> evaluateJS(QString script);
    QCoro::Task<> loadURL(QString address);
    QCoro::Task<> waitForPageLoad();
    QCoro::Task<> sleep(double seconds);

    [[nodiscard]] static QString escapeJS(const QString &text);
    [[nodiscard]] static QString fillFieldJS(const QString &label, const QString &value);
    [[nodiscard]] static QString fillInputJS(const QString &label, const QString &value);
    [[nodiscard]] static QString clickAtPointJS(int x, int y);

    // Login
    QCoro::Task<> login(QString login, QString password);
    QCoro::Task<> verifyLoggedIn();

    // Pop-ups and region
    QCoro::Task<> dismissPopups();
    QCoro::Task<> selectApelacja(QString apelacja);

    // Case list and filters
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

private:
    struct Private;
    std::unique_ptr<Private> d;
    std::shared_ptr<CancellationToken> m_token;
};
