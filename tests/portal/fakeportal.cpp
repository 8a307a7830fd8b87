#include "fakeportal.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

using namespace Qt::StringLiterals;

FakePortal::FakePortal()
{
    m_process.start(
        QStringLiteral(VELMORIA_PYTHON3), { QStringLiteral(VELMORIA_FAKEPORTAL_DIR "/server.py") });
    const QByteArray line = m_process.waitForReadyRead(15000) ? m_process.readLine().trimmed() : QByteArray();
    if (line.startsWith("PORT "))
        m_port = static_cast<quint16>(line.mid(5).toUInt());
    else
        m_error = u"fake portal did not start: "_s + m_process.errorString()
            + QString::fromUtf8(m_process.readAllStandardError());
}

FakePortal::~FakePortal()
{
    m_process.closeWriteChannel(); // the server ends when its stdin closes
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(3000);
}

QUrl FakePortal::url(const QString &path) const
{
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path));
}

QJsonDocument FakePortal::get(QStringView path, const QByteArray &postBody) const
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url(path.toString()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
    QNetworkReply *reply = postBody.isEmpty() ? manager.get(request) : manager.post(request, postBody);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return QJsonDocument::fromJson(reply->readAll());
}

QStringList FakePortal::valuesOf(const QString &kind, const QString &field) const
{
    QStringList values;
    for (const QJsonValue &entry : records()) {
        if (entry[u"kind"] == kind && entry[u"field"] == field)
            values.append(entry[u"value"].toString());
    }
    return values;
}

QJsonArray FakePortal::allCases(const QUrlQuery &query) const
{
    return get(u"/api/sprawy/all?"_s + query.toString(QUrl::FullyEncoded)).array();
}
