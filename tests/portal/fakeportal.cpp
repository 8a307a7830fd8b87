#include "fakeportal.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

FakePortal::FakePortal()
{
    m_process.setProgram(QStringLiteral(VELMORIA_PYTHON3));
    m_process.setArguments({QStringLiteral(VELMORIA_FAKEPORTAL_DIR "/server.py")});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return;
    }
    const QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine() && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        m_error = u"fake portal did not start: "_s + QString::fromUtf8(line + m_process.readAllStandardError());
        return;
    }
    m_port = static_cast<quint16>(line.mid(5).toUInt());
}

FakePortal::~FakePortal()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QUrl FakePortal::url(const QString &path) const
{
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path));
}

QByteArray FakePortal::request(const QByteArray &method, const QString &path, const QByteArray &body) const
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url(path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
    QNetworkReply *reply = manager.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    // The manager aborts and deletes a reply that is still under way.
    return reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

bool FakePortal::configure(const QJsonObject &changes)
{
    return !request("POST", u"/api/config"_s, QJsonDocument(changes).toJson(QJsonDocument::Compact)).isEmpty();
}

bool FakePortal::reset()
{
    return !request("POST", u"/api/reset"_s).isEmpty();
}

QJsonObject FakePortal::snapshot() const
{
    return QJsonDocument::fromJson(request("GET", u"/api/records"_s)).object();
}

QStringList FakePortal::sessions() const
{
    QStringList logins;
    const QJsonArray values = snapshot().value(u"sessions").toArray();
    for (const QJsonValue &value : values)
        logins.append(value.toString());
    return logins;
}

QJsonArray FakePortal::recordsOf(const QString &kind, const QString &field) const
{
    QJsonArray matching;
    const QJsonArray all = records();
    for (const QJsonValue &value : all) {
        const QJsonObject entry = value.toObject();
        if ((kind.isEmpty() || entry.value(u"kind").toString() == kind) && (field.isEmpty() || entry.value(u"field").toString() == field))
            matching.append(entry);
    }
    return matching;
}

QStringList FakePortal::valuesOf(const QString &kind, const QString &field) const
{
    QStringList values;
    const QJsonArray entries = recordsOf(kind, field);
    for (const QJsonValue &entry : entries)
        values.append(entry.toObject().value(u"value").toString());
    return values;
}

QJsonArray FakePortal::allCases(const QUrlQuery &query) const
{
    return QJsonDocument::fromJson(request("GET", u"/api/sprawy/all?"_s + query.toString(QUrl::FullyEncoded))).array();
}

QStringList FakePortal::allCaseKeys(const QUrlQuery &query) const
{
    QStringList keys;
    for (const auto &entry : allCases(query))
        keys.append(entry[u"sygnatura"].toString() + u'|' + entry[u"sad"].toString());
    return keys;
}
