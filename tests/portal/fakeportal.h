#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>

/** The fake court portal (fakeportal/server.py) on 127.0.0.1, running while this object lives. */
class FakePortal
{
public:
    FakePortal();
    ~FakePortal();

    /** False when the server did not come up; errorString() says why. */
    [[nodiscard]] bool isRunning() const { return m_port != 0; }
    [[nodiscard]] QString errorString() const { return m_error; }
    /** http://127.0.0.1:<port> + @p path (which may hold a query). */
    [[nodiscard]] QUrl url(const QString &path) const;

    /** Merges @p changes into the configuration: "accounts" {login: password}, "paging" (see server.py). */
    bool configure(const QJsonObject &changes)
    {
        return get(u"/api/config", QJsonDocument(changes).toJson()).isObject();
    }
    /** Forgets records, requests, sessions and configuration. */
    bool reset() { return get(u"/api/reset", "{}").isObject(); }

    /** What the pages' fields received ("set", "focus", "input", "change", "blur"), their web storage
     * ("storage") and the logins posted ("post"). */
    [[nodiscard]] QJsonArray records() const { return get(u"/api/records")[u"records"].toArray(); }
    /** Every page and data request: path, query, userAgent. */
    [[nodiscard]] QJsonArray requests() const { return get(u"/api/records")[u"requests"].toArray(); }
    /** The values @p field received by records of @p kind, in order. */
    [[nodiscard]] QStringList valuesOf(const QString &kind, const QString &field) const;

    /** Every case the portal holds for @p query ("region", "status", "podmiot"...), in table order. */
    [[nodiscard]] QJsonArray allCases(const QUrlQuery &query) const;

private:
    [[nodiscard]] QJsonDocument get(QStringView path, const QByteArray &postBody = {}) const;

    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
