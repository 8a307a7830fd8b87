#include "webviewscraper.h"

#include <QCoroSignal>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QNetworkCookie>
#include <QPointer>
#include <QScopeGuard>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <QWidget>

#include "portal/scrapererror.h"
#include "portal/pagescript.h"
#include "portal/unicodetext.h"

#include <cmath>
#include <csignal>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#endif

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcScraper, VELMORIA_APP_ID ".Scraper")

namespace {

constexpr int viewWidth = 1400;
constexpr int viewHeight = 900;
constexpr int pageLoadPolls = 30;
constexpr double pageLoadPollSeconds = 0.5;
constexpr int loginFillAttempts = 10;
constexpr int loggedInProbes = 15;

// Holds the login whose session the profile's cookies and storage belong to.
const QString sessionLoginFileName = u"sessionlogin"_s;
const QString storageClearScriptName = u"velmoria-clear-storage"_s;

/** Turns the runJavaScript callback into an awaitable signal. */
class ScriptResult : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QVariant value;
    // No answer came in time: the page is given up on.
    bool expired = false;

    /** Ends the wait once: an answer, the page's end or the deadline, whichever comes first. */
    void settle(bool timedOut, const QVariant &answer = {})
    {
        if (m_settled)
            return;
        m_settled = true;
        expired = timedOut;
        value = answer;
        Q_EMIT done();
    }

    [[nodiscard]] bool isSettled() const { return m_settled; }

Q_SIGNALS:
    void done();

private:
    bool m_settled = false;
};

/**
 * Keeps a window below the others. Without a window manager "stay on bottom" means nothing and a
 * new native window goes on top; the web view's rendering widget, which arrives once the window
 * is up, makes Qt re-create the window's native one, so every new one is put back below.
 */
class StayBelowOthers : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WinIdChange) {
            if (auto *window = qobject_cast<QWidget *>(watched); window && window->windowHandle())
                window->lower();
        }
        return false;
    }
};

} // namespace

struct WebViewScraper::Private
{
    QUrl loginUrl;
    QWebEngineProfile *profile = nullptr;
    QWidget *window = nullptr;
    QWebEngineView *view = nullptr;
    QWebEnginePage *page = nullptr;
    QTimer requestTimer;
    // Since loadURL() asked for its load.
    QElapsedTimer requestClock;
    // The load loadURL() asked for has neither ended nor turned out to stay in the document.
    bool requestedLoadPending = false;
    QUrl requestedUrl;
    // Why the engine gave up on the requested load; empty unless it failed.
    QString requestedLoadFailure;
    // A load has succeeded since loadURL() asked for one: until then the page shown may be an older one.
    bool requestedLoadAnswered = true;
    // The page's process has ended (or was ended); no script reaches it until the next load brings a new one.
    bool rendererGone = false;
    // The driver has ended the page's process and the engine has not reported it yet.
    bool terminationPending = false;
    std::chrono::milliseconds scriptTimeout = WebViewScraper::scriptTimeout;
    QSet<QByteArray> cookies;
    std::shared_ptr<CancellationToken> neverCancelled = std::make_shared<CancellationToken>();

    void endRequestedLoad()
    {
        requestedLoadPending = false;
        requestTimer.stop();
    }

    [[nodiscard]] QString sessionLoginPath() const
    {
        return QDir(profile->persistentStoragePath()).filePath(sessionLoginFileName);
    }

    static QByteArray cookieKey(const QNetworkCookie &cookie)
    {
        return cookie.name() + '\n' + cookie.domain().toUtf8() + '\n' + cookie.path().toUtf8();
    }
};

QString JavaScriptError::errorDescription() const
{
    return u"Błąd skryptu strony: "_s + m_message;
}

QString PageLoadError::errorDescription() const
{
    return u"Nie udało się otworzyć strony portalu. "_s + m_reason;
}

QString PageUnresponsiveError::errorDescription() const
{
    return m_kind == Kind::crashed ? u"Strona portalu przestała działać."_s : u"Strona portalu nie odpowiada."_s;
}

WebViewScraper::WebViewScraper(const QUrl &loginUrl, QObject *parent)
    : WebViewScraper(loginUrl,
                     QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/webengine"_s, parent)
{
}

WebViewScraper::WebViewScraper(const QUrl &loginUrl, const QString &profileStoragePath, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->loginUrl = loginUrl;

    // A named profile is disk-backed, so the portal session survives launches; the default one
    // is off the record.
    d->profile = new QWebEngineProfile(u"velmoria"_s, this);
    d->profile->setPersistentStoragePath(profileStoragePath);
    d->profile->setCachePath(profileStoragePath + u"/cache"_s);
    // The portal may keep its session in a cookie without expiry; keep it across launches too.
    d->profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    d->profile->setHttpUserAgent(userAgent);

    QWebEngineCookieStore *cookieStore = d->profile->cookieStore();
    connect(cookieStore, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie &cookie) { d->cookies.insert(Private::cookieKey(cookie)); });
    connect(cookieStore, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie &cookie) { d->cookies.remove(Private::cookieKey(cookie)); });
    cookieStore->loadAllCookies();

    // Frameless, nearly transparent, below other windows, never focused and not in the task bar.
    d->window = new QWidget(nullptr,
                            Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::Tool
                                | Qt::WindowDoesNotAcceptFocus);
    d->window->setAttribute(Qt::WA_ShowWithoutActivating);
    d->window->setAttribute(Qt::WA_DeleteOnClose, false);
    d->window->setGeometry(0, 0, viewWidth, viewHeight);
    auto *layout = new QVBoxLayout(d->window);
    layout->setContentsMargins(0, 0, 0, 0);

    d->view = new QWebEngineView(d->window);
    d->page = new QWebEnginePage(d->profile, d->view);
    d->view->setPage(d->page);
    // Counts the page's own requests from its very start, where the page's scripts see the same
    // fetch and XMLHttpRequest: a step then knows when the portal has answered it. The page's own
    // collection, since a profile's scripts do not reach the process that replaces a dead one.
    QWebEngineScript requestCounter;
    requestCounter.setName(u"velmoria-request-counter"_s);
    requestCounter.setInjectionPoint(QWebEngineScript::DocumentCreation);
    requestCounter.setWorldId(QWebEngineScript::MainWorld);
    requestCounter.setRunsOnSubFrames(false);
    requestCounter.setSourceCode(PageScript::load(u"requestcounter"_s));
    d->page->scripts().insert(requestCounter);
    d->view->setFixedSize(viewWidth, viewHeight);
    layout->addWidget(d->view);

    d->window->setWindowOpacity(0.01);
    d->window->installEventFilter(new StayBelowOthers(d->window));
    d->window->show();
    d->window->lower();

    connect(d->page, &QWebEnginePage::renderProcessTerminated, this, [this] {
        d->rendererGone = true;
        d->terminationPending = false;
    });
    // A load that replaces one under way brings no start of its own, so whatever load ends next
    // is the requested one.
    connect(d->page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            // A load after the page's process has ended starts a new one.
            d->rendererGone = false;
            return;
        }
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
            d->requestedLoadAnswered = true;
        // A load cut short by another one, or stopped, says nothing about the portal.
        constexpr int abortedError = -3;
        if (d->requestedLoadPending && info.status() == QWebEngineLoadingInfo::LoadFailedStatus
            && info.errorCode() != abortedError) {
            // For an HTTP status the engine's text is an error page's template, not words to show.
            d->requestedLoadFailure = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                ? u"HTTP %1"_s.arg(info.errorCode())
                : info.errorString();
        }
        d->endRequestedLoad();
    });
    // A new address that differs only after "#" stays in the document: the engine reports no load
    // at all, only the new address, while nothing is loading. An address the old page sets for
    // itself meanwhile is not the requested one and ends nothing.
    connect(d->page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        if (!d->page->isLoading() && isSameAddress(url, d->requestedUrl)) {
            d->requestedLoadAnswered = true;
            d->endRequestedLoad();
        }
    });
    d->requestTimer.setSingleShot(true);
    d->requestTimer.setInterval(requestTimeout);
    // The engine's request has no time-out of its own: give up on the load like a network error.
    // The timer runs only while the requested load does, so it never stops a later one.
    connect(&d->requestTimer, &QTimer::timeout, this, [this] { d->view->stop(); });
}

WebViewScraper::~WebViewScraper()
{
    // A script still under way must not resume its caller from inside this destructor (the page's
    // end would call it back): drop the pending results, so those callers are never resumed.
    qDeleteAll(findChildren<ScriptResult *>(Qt::FindDirectChildrenOnly));
    // The page must go before its profile.
    delete d->window;
    delete d->profile;
}

void WebViewScraper::setRequestTimeoutForTesting(std::chrono::milliseconds timeout)
{
    d->requestTimer.setInterval(timeout);
}

void WebViewScraper::setScriptTimeoutForTesting(std::chrono::milliseconds timeout)
{
    d->scriptTimeout = timeout;
}

void WebViewScraper::setCancellationToken(std::shared_ptr<CancellationToken> token)
{
    m_token = std::move(token);
}

QWebEngineView *WebViewScraper::webView() const
{
    return d->view;
}

QWidget *WebViewScraper::offscreenWindow() const
{
    return d->window;
}

QWebEngineProfile *WebViewScraper::profile() const
{
    return d->profile;
}

QUrl WebViewScraper::loginUrl() const
{
    return d->loginUrl;
}

QCoro::Task<QVariant> WebViewScraper::evaluateJS(QString script)
{
    // A page without its process never answers; failing at once lets the run end.
    if (d->rendererGone)
        throw PageUnresponsiveError(PageUnresponsiveError::Kind::crashed);

    // runJavaScript reports no error; catch it in the page and hand it back tagged.
    QString body = script.trimmed();
    while (body.endsWith(u';'))
        body.chop(1);
    const QString wrapped = u"(function() { try { var __velmoriaValue = (\n"_s + body
        + u"\n); return { ok: true, value: (__velmoriaValue === undefined ? null : __velmoriaValue) }; }"
          " catch (e) { return { ok: false, error: String(e) }; } })()"_s;

    QPointer<ScriptResult> result = new ScriptResult(this);
    // Should the page go away first, its callback may never come: end the wait with no result.
    const auto guard = connect(d->page, &QObject::destroyed, result.get(), [result] { result->settle(false); });
    // Nor does it come when the page's render process dies mid-script: the run would hang for good.
    const auto crashGuard = connect(d->page, &QWebEnginePage::renderProcessTerminated, result.get(),
                                    [result] { result->settle(false); });
    // A hung page never answers either. A stop waits a little for an answer on its way, then gives up.
    auto *deadline = new QTimer(result.get());
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, result.get(), [result] { result->settle(true); });
    deadline->start(d->scriptTimeout);
    const std::shared_ptr<CancellationToken> token = m_token;
    const auto shortenForStop = [deadline] {
        if (deadline->remainingTimeAsDuration() > stopGrace)
            deadline->start(stopGrace);
    };
    if (token && token->isCancelled())
        shortenForStop();
    else if (token)
        connect(token.get(), &CancellationToken::cancelled, deadline, shortenForStop);
    d->page->runJavaScript(wrapped, [result](const QVariant &value) {
        if (result)
            result->settle(false, value);
    });
    // The engine may call back before runJavaScript returns (a discarded page, a page without its frame):
    // the signal is gone by the time an await would connect to it.
    const bool answeredAtOnce = result->isSettled();
    if (!answeredAtOnce)
        co_await qCoro(result.get(), &ScriptResult::done);
    disconnect(guard);
    disconnect(crashGuard);
    const QVariant tagged = result->value;
    const bool expired = result->expired;
    result->deleteLater();

    if (expired) {
        endUnresponsivePage();
        if (token && token->isCancelled())
            throw CancellationError();
        throw PageUnresponsiveError(PageUnresponsiveError::Kind::silent);
    }
    const QVariantMap map = tagged.toMap();
    // An empty answer before the script could even be sent: the page has stopped working.
    if (!map.contains(u"ok"_s) && (d->rendererGone || answeredAtOnce))
        throw PageUnresponsiveError(PageUnresponsiveError::Kind::crashed);
    if (!map.contains(u"ok"_s))
        throw JavaScriptError(u"skryptu nie udało się uruchomić albo jego strona zniknęła"_s);
    if (!map.value(u"ok"_s).toBool())
        throw JavaScriptError(map.value(u"error"_s).toString());
    const QVariant value = map.value(u"value"_s);
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr)
        co_return QVariant();
    co_return value;
}

void WebViewScraper::endUnresponsivePage()
{
    // A page stuck in a script holds its process: scripts and loads would wait on it for ever, and it
    // keeps a processor busy. Ending the process frees both; the next load starts a new one.
    const qint64 pid = d->page->renderProcessPid();
    if (!d->rendererGone && pid > 0) {
        qCWarning(lcScraper, "Ending the page's unresponsive process %lld", static_cast<long long>(pid));
#if defined(Q_OS_WIN)
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
#else
        ::kill(static_cast<pid_t>(pid), SIGKILL);
#endif
        d->terminationPending = true;
    }
    d->rendererGone = true;
}

bool WebViewScraper::isLoadUnderWay() const
{
    return d->requestedLoadPending || d->page->isLoading();
}

bool WebViewScraper::isSameAddress(const QUrl &first, const QUrl &second)
{
    const auto engineForm = [](QUrl url) {
        static const QHash<QString, int> defaultPorts { { u"http"_s, 80 }, { u"https"_s, 443 } };
        if (url.port() != -1 && defaultPorts.value(url.scheme(), -1) == url.port())
            url.setPort(-1);
        if (!url.host().isEmpty() && url.path().isEmpty())
            url.setPath(u"/"_s);
        return url;
    };
    return engineForm(first) == engineForm(second);
}

QCoro::Task<> WebViewScraper::loadURL(QString address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid() || url.isRelative())
        throw ScraperError::invalidURL(address);
    // A load sent before the engine has seen the ended process go would go down with it.
    if (d->terminationPending) {
        co_await qCoro(d->page, &QWebEnginePage::renderProcessTerminated, std::chrono::seconds(5));
        if (d->terminationPending)
            qCWarning(lcScraper, "The ended page's process was not reported gone; loading all the same");
        d->terminationPending = false;
    }
    d->requestedLoadPending = true;
    d->requestedUrl = url;
    d->requestedLoadFailure.clear();
    d->requestedLoadAnswered = false;
    d->requestTimer.start();
    d->requestClock.start();
    d->page->load(url);
    co_await waitForPageLoad();
}

QCoro::Task<> WebViewScraper::waitForPageLoad()
{
    for (int poll = 0;;) {
        co_await sleep(pageLoadPollSeconds);
        if (!d->requestedLoadPending && !d->page->isLoading())
            co_return;
        if (++poll >= pageLoadPolls)
            co_return;
    }
}

QCoro::Task<> WebViewScraper::sleep(double seconds)
{
    // Owned by the driver: a caller paused in a destroyed driver stays asleep instead of waking on it.
    co_await cancellableSleep(m_token ? m_token : d->neverCancelled, seconds, this);
}

QString WebViewScraper::escapeJS(const QString &text)
{
    QString escaped = text;
    escaped.replace(u"\\"_s, u"\\\\"_s);
    escaped.replace(u"'"_s, u"\\'"_s);
    escaped.replace(u"\n"_s, u"\\n"_s);
    escaped.replace(u"\r"_s, u"\\r"_s);
    return escaped;
}

QString WebViewScraper::fillFieldJS(const QString &label, const QString &value)
{
    static const QString script = PageScript::load(u"fillformfield"_s);
    return script + u"("_s + PageScript::quoted(label) + u", "_s + PageScript::quoted(value) + u", 'input, textarea', false)"_s;
}

QString WebViewScraper::fillInputJS(const QString &label, const QString &value)
{
    static const QString script = PageScript::load(u"fillformfield"_s);
    return script + u"("_s + PageScript::quoted(label) + u", "_s + PageScript::quoted(value) + u", 'input', true)"_s;
}

QString WebViewScraper::clickAtPointJS(int x, int y)
{
    static const QString script = PageScript::load(u"clickatpoint"_s);
    return script + u"("_s + QString::number(x) + u", "_s + QString::number(y) + u")"_s;
}

namespace {

const QStringList &loginSelectors()
{
    static const QStringList selectors = {
        u"input[formcontrolname=\"login\"]"_s, u"input[name=\"login\"]"_s, u"input[name=\"username\"]"_s,
        u"input[type=\"text\"]"_s,             u"input[placeholder*=\"ogin\"]"_s, u"#login"_s,
    };
    return selectors;
}

const QStringList &passwordSelectors()
{
    static const QStringList selectors = {
        u"input[formcontrolname=\"password\"]"_s,
        u"input[name=\"password\"]"_s,
        u"input[type=\"password\"]"_s,
        u"#password"_s,
    };
    return selectors;
}

} // namespace

QString WebViewScraper::loginFillJS(const QString &login)
{
    static const QString script = PageScript::load(u"fillfirstmatch"_s);
    return script + u"("_s + PageScript::quotedList(loginSelectors()) + u", "_s + PageScript::quoted(login) + u")"_s;
}

QString WebViewScraper::passwordFillJS(const QString &password)
{
    static const QString script = PageScript::load(u"fillfirstmatch"_s);
    return script + u"("_s + PageScript::quotedList(passwordSelectors()) + u", "_s + PageScript::quoted(password)
        + u")"_s;
}

QString WebViewScraper::loginFormShownJS()
{
    static const QString script = PageScript::load(u"loginformshown"_s) + u"("_s
        + PageScript::quotedList(loginSelectors()) + u", "_s + PageScript::quotedList(passwordSelectors()) + u")"_s;
    return script;
}

QCoro::Task<bool> WebViewScraper::isLoginFormShown()
{
    co_return PageScript::boolOr(co_await evaluateJS(loginFormShownJS()), false);
}

QString WebViewScraper::submitJS()
{
    static const QString script = PageScript::load(u"submit"_s) + u"()"_s;
    return script;
}

QString WebViewScraper::loggedInProbeJS()
{
    static const QString script = PageScript::load(u"loggedinprobe"_s) + u"()"_s;
    return script;
}

QString WebViewScraper::describeScriptValue(const QVariant &value)
{
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr)
        return u"nil"_s;
    QString text;
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = value.toBool() ? u"1"_s : u"0"_s;
        break;
    case QMetaType::QString:
        text = u"\""_s + value.toString() + u"\""_s;
        break;
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        text = QString::number(value.toDouble(), 'g', 17);
        break;
    default:
        text = QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact));
        if (text.isEmpty())
            text = value.toString();
        break;
    }
    return u"Optional("_s + text + u")"_s;
}

QString WebViewScraper::sessionLogin() const
{
    QFile file(d->sessionLoginPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WebViewScraper::rememberSessionLogin(const QString &login)
{
    if (QFile::exists(d->sessionLoginPath()) && sessionLogin() == login)
        return;
    QDir().mkpath(d->profile->persistentStoragePath());
    QSaveFile file(d->sessionLoginPath());
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcScraper, "Could not remember the session's login in %s", qUtf8Printable(file.fileName()));
        return;
    }
    file.write(login.toUtf8());
    if (!file.commit())
        qCWarning(lcScraper, "Could not remember the session's login in %s", qUtf8Printable(file.fileName()));
}

QCoro::Task<> WebViewScraper::forgetSessionOfOtherLogin(const QString &login)
{
    if (QFile::exists(d->sessionLoginPath()) && UnicodeText::canonicallyEqual(sessionLogin(), login))
        co_return;

    // The stored session may belong to someone else (or to nobody we know): drop it, or the run
    // would go on in that account without ever checking the new password.
    qCInfo(lcScraper, "Stored session is not known to be this login's: clearing it");
    QFile::remove(d->sessionLoginPath());
    d->profile->cookieStore()->deleteAllCookies();

    // Web storage has no clearing API here; empty it in every document the next load creates,
    // before the portal's own scripts can read it.
    QWebEngineScript clearStorage;
    clearStorage.setName(storageClearScriptName);
    clearStorage.setInjectionPoint(QWebEngineScript::DocumentCreation);
    clearStorage.setWorldId(QWebEngineScript::MainWorld);
    clearStorage.setRunsOnSubFrames(true);
    clearStorage.setSourceCode(uR"((function() {
    try { window.localStorage.clear(); } catch (e) {}
    try { window.sessionStorage.clear(); } catch (e) {}
    try {
        if (window.indexedDB && indexedDB.databases)
            indexedDB.databases().then(function(dbs) {
                dbs.forEach(function(db) { indexedDB.deleteDatabase(db.name); });
            });
    } catch (e) {}
})();)"_s);
    d->page->scripts().insert(clearStorage);

    // Cookie deletion is asynchronous; the login page must not be requested with the old ones.
    for (int poll = 0; poll < 50 && !d->cookies.isEmpty(); ++poll)
        co_await sleep(0.1);
}

QCoro::Task<> WebViewScraper::fillWithRetries(QString script, bool isPassword)
{
    for (int attempt = 1; attempt <= loginFillAttempts; ++attempt) {
        throwIfRequestedLoadFailed();
        const bool filled = PageScript::boolOr(co_await evaluateJS(script), false);
        if (isPassword)
            qCInfo(lcScraper, "Fill password attempt %ld: %s", static_cast<long>(attempt), filled ? "true" : "false");
        else
            qCInfo(lcScraper, "Fill login attempt %ld: %s", static_cast<long>(attempt), filled ? "true" : "false");
        if (filled) {
            co_await sleep(0.5);
            co_return;
        }
        co_await sleep(1.0);
    }
    if (isPassword)
        qCInfo(lcScraper, "WARNING: Could not fill password field");
    else
        qCInfo(lcScraper, "WARNING: Could not fill login field");
    co_await sleep(0.5);
}

QCoro::Task<> WebViewScraper::login(QString login, QString password)
{
    co_await forgetSessionOfOtherLogin(login);

    qCInfo(lcScraper, "Loading login page...");
    {
        // Only the documents of this load may be emptied; the logged-in portal keeps its storage.
        const auto removeStorageClearing = qScopeGuard([this] {
            const QList<QWebEngineScript> scripts = d->page->scripts().find(storageClearScriptName);
            for (const QWebEngineScript &script : scripts)
                d->page->scripts().remove(script);
        });
        co_await loadURL(d->loginUrl.toString(QUrl::FullyEncoded));
        // A login page slower than the page wait is still waited for, up to the request's own limit:
        // whether to type is decided on that page, never on the one shown before it.
        // A load that replaces it on the way (a redirect by script) is waited for within the same limit.
        while (!d->requestedLoadAnswered && d->requestedLoadFailure.isEmpty() && isLoadUnderWay()
            && !d->requestClock.hasExpired(d->requestTimer.interval()))
            co_await sleep(pageLoadPollSeconds);
    }
    // Without the login page no login can be tried: the portal is out of reach, the password may be right.
    throwIfRequestedLoadFailed();
    if (!d->requestedLoadAnswered)
        throw PageLoadError(u"Portal nie odpowiada."_s);

    co_await sleep(3.0);

    const QString currentUrl = PageScript::textOr(co_await evaluateJS(u"window.location.href"_s), u"?"_s);
    qCInfo(lcScraper, "Current URL: %s", qUtf8Printable(currentUrl));

    if (!currentUrl.contains(u"/login"_s)) {
        qCInfo(lcScraper, "Already logged in (redirected from login page)");
        co_await verifyLoggedIn();
        rememberSessionLogin(login);
        co_return;
    }

    // A page still between documents has no body yet: that is no reason to fail the run.
    const qint64 bodyLength = PageScript::wholeNumber(
        co_await evaluateJS(u"document.body ? document.body.innerHTML.length : 0"_s)).value_or(0);
    qCInfo(lcScraper, "Page body length: %lld", static_cast<long long>(bodyLength));

    co_await fillWithRetries(loginFillJS(login), false);
    co_await fillWithRetries(passwordFillJS(password), true);

    const QVariant clicked = co_await evaluateJS(submitJS());
    qCInfo(lcScraper, "Click submit: %s", qUtf8Printable(describeScriptValue(clicked)));

    co_await sleep(4.0);

    const QString afterUrl = PageScript::textOr(co_await evaluateJS(u"window.location.href"_s), u"?"_s);
    qCInfo(lcScraper, "URL after submit: %s", qUtf8Printable(afterUrl));

    co_await verifyLoggedIn();
    rememberSessionLogin(login);
}

void WebViewScraper::throwIfRequestedLoadFailed() const
{
    if (!d->requestedLoadFailure.isEmpty())
        throw PageLoadError(d->requestedLoadFailure);
}

QCoro::Task<> WebViewScraper::verifyLoggedIn()
{
    for (int attempt = 1;; ++attempt) {
        // A load that has failed meanwhile, even late, means the portal was not reached.
        throwIfRequestedLoadFailed();
        const QVariant probe = co_await evaluateJS(loggedInProbeJS());
        const QString currentUrl = PageScript::textOr(co_await evaluateJS(u"window.location.href"_s), u"?"_s);
        const QString bodyPrefix = PageScript::textOr(
            co_await evaluateJS(u"(document.body ? document.body.innerText : '').substring(0, 200)"_s), {});
        const bool isText = probe.typeId() == QMetaType::QString;
        qCInfo(lcScraper, "verifyLoggedIn attempt %ld: result=%s url=%s body=%s", static_cast<long>(attempt),
               isText ? qUtf8Printable(probe.toString()) : "nil", qUtf8Printable(currentUrl),
               qUtf8Printable(bodyPrefix));
        // The login has waited for its own page, which has answered: whatever the page shows is the portal's.
        if (isText && probe.toString() == u"ok"_s)
            co_return;
        co_await sleep(1.0);
        if (attempt < loggedInProbes)
            continue;
        throwIfRequestedLoadFailed();
        throw ScraperError::loginFailed();
    }
}

#include "webviewscraper.moc"
