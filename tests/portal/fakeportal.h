#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

/**
 * The fake court portal (fakeportal/server.py) on 127.0.0.1, started for the life of this object.
 * Tests steer it with configure() and read what its pages received with records().
 */
class FakePortal
{
public:
    FakePortal();
    ~FakePortal();
    FakePortal(const FakePortal &) = delete;
    FakePortal &operator=(const FakePortal &) = delete;

    /** False when the server did not come up; errorString() says why. */
    [[nodiscard]] bool isRunning() const { return m_port != 0; }
    [[nodiscard]] QString errorString() const { return m_error; }

    /** http://127.0.0.1:<port> + @p path (path may hold a query). */
    [[nodiscard]] QUrl url(const QString &path) const;

    /** Merges @p changes into the portal's configuration (see fakeportal/core.py). */
    bool configure(const QJsonObject &changes);
    /** Forgets records, requests, sessions and configuration. */
    bool reset();

    /** Everything the portal remembers: records, requests, sessions, config. */
    [[nodiscard]] QJsonObject snapshot() const;
    [[nodiscard]] QJsonArray records() const { return snapshot().value(u"records").toArray(); }
    [[nodiscard]] QJsonArray requests() const { return snapshot().value(u"requests").toArray(); }
    /** Logins that have a session on the portal. */
    [[nodiscard]] QStringList sessions() const;

    /** The records of @p kind ("set", "input", "change", "post", "storage"...; empty: any) for @p field. */
    [[nodiscard]] QJsonArray recordsOf(const QString &kind, const QString &field = {}) const;
    /** The values the field received by @p kind, in order. */
    [[nodiscard]] QStringList valuesOf(const QString &kind, const QString &field) const;

    /** Every case the portal holds for @p query ("region=...&podmiot=..."), in table order. */
    [[nodiscard]] QJsonArray allCases(const QUrlQuery &query) const;
    /** The same cases as "reference|court". */
    [[nodiscard]] QStringList allCaseKeys(const QUrlQuery &query) const;

private:
    [[nodiscard]] QByteArray request(const QByteArray &method, const QString &path, const QByteArray &body = {}) const;

    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
