#pragma once

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QUrlQuery>

/** The fake court portal (fakeportal/server.py) on 127.0.0.1, running while this object lives. */
class FakePortal
{
public:
    FakePortal()
    {
        m_process.start(QStringLiteral(VELMORIA_PYTHON3), { QStringLiteral(VELMORIA_FAKEPORTAL_DIR "/server.py") });
        const QByteArray line = m_process.waitForReadyRead(15000) ? m_process.readLine().trimmed() : QByteArray();
        m_port = line.startsWith("PORT ") ? quint16(line.mid(5).toUInt()) : 0;
    }
    ~FakePortal()
    {
        m_process.closeWriteChannel(); // the server ends when its stdin closes
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }

    /** False when the server did not come up; errorString() says why. */
    [[nodiscard]] bool isRunning() const { return m_port != 0; }
    [[nodiscard]] QString errorString() const
    {
        return m_process.errorString() + QString::fromUtf8(m_process.readAllStandardError());
    }
    /** http://127.0.0.1:<port> + @p path (which may hold a query). */
    [[nodiscard]] QUrl url(QStringView path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }

    /** Merges @p changes into the configuration: "accounts" {login: password}, "paging", "cases" (see
     *  server.py); "delay" (seconds before each page after the first), "delays" ({"list", "search", "size",
     *  "page": seconds}), "random" ([seconds, seed]: a seeded random delay up to that), "never" (the step whose
     *  answer never comes), "lose" (the page index whose first answer is lost), "refuse" ({step: seconds}: its
     *  first answer a 503 with that Retry-After), "loginDelay" (seconds before the login page), "failFrom" (page
     *  index from which the case list answers HTTP 500), "expireFrom" (page index from which the session
     *  expires), "size" (the page size at first), "jump" ([from, to]: the next-page control goes once to page
     *  index to instead of from), "nofilter" (no search button), "async" (the list comes asynchronously,
     *  without delay), "hang" (an endless script in the page-size select), and the habits of single-page
     *  portals of app.js: "module", "longpoll", "stream", "labelFirst", "labels", "menuDelay", "regionDelay", "numbers",
     *  "keepIndex", "deaf", "hangNext" and "nolink". "scale" scales every delay but "loginDelay", as the run's pauses are scaled. */
    bool configure(const QJsonObject &changes) { return get(u"/api/config", QJsonDocument(changes).toJson()).isObject(); }
    /** Forgets records, requests, sessions and configuration. */
    bool reset() { return get(u"/api/reset", "{}").isObject(); }
    /** What the pages' fields received ("set", "focus", "input", "change", "blur"), their web storage
     *  ("storage") and the logins posted ("post"). */
    [[nodiscard]] QJsonArray records() const { return get(u"/api/records")[u"records"].toArray(); }
    /** Every page and data request: path, query, userAgent. */
    [[nodiscard]] QJsonArray requests() const { return get(u"/api/records")[u"requests"].toArray(); }
    /** Every case the portal holds for @p query ("region", "status", "podmiot"), in table order. */
    [[nodiscard]] QJsonArray allCases(const QUrlQuery &query) const
    {
        return get(QStringLiteral("/api/sprawy/all?") + query.toString(QUrl::FullyEncoded)).array();
    }

private:
    QJsonDocument get(QStringView path, const QByteArray &postBody = {}) const
    {
        QNetworkAccessManager manager;
        QNetworkRequest request(url(path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        QNetworkReply *reply = postBody.isEmpty() ? manager.get(request) : manager.post(request, postBody);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        return QJsonDocument::fromJson(reply->readAll());
    }

    mutable QProcess m_process;
    quint16 m_port = 0;
};
