#include "testsupport.h"

#include <QDesktopServices>
#include <QDir>
#include <QMetaEnum>
#include <QSettings>
#include <QStandardPaths>

#include "controller/scrapeprogress.h"
#include "controller/scraperviewmodel.h"

using namespace Qt::StringLiterals;

namespace {
ScraperViewModel *controller(QObject *object)
{
    auto *viewModel = qobject_cast<ScraperViewModel *>(object);
    Q_ASSERT(viewModel);
    return viewModel;
}

std::optional<QString> optionalText(const QVariant &message)
{
    return message.isNull() ? std::nullopt : std::optional(message.toString());
}
} // namespace

TestSupport::~TestSupport()
{
    QDesktopServices::unsetUrlHandler(u"https"_s);
    QDesktopServices::unsetUrlHandler(u"http"_s);
}

QObject *TestSupport::createViewModel()
{
    // Port 9 (discard) is closed here; no test presses start with valid credentials.
    return new ScraperViewModel(QUrl(u"http://127.0.0.1:9/login"_s));
}

void TestSupport::fillCases(QObject *viewModel, int count)
{
    QList<CourtCase> cases;
    for (int i = 0; i < count; ++i)
        cases.append(CourtCase({ u"I C %1/26"_s.arg(i), u"Sąd Rejonowy %1"_s.arg(i % 7), u"I Wydział Cywilny"_s,
            u"o zapłatę"_s, u"Jan Kowalski"_s, u"SSR Anna Nowak"_s, u"2026-01-02"_s, QString(), u"W toku"_s }));
    controller(viewModel)->setCases(cases);
}

void TestSupport::appendCase(QObject *viewModel, const QStringList &cells)
{
    controller(viewModel)->setCases(controller(viewModel)->cases() << CourtCase(cells));
}

void TestSupport::setSeenKeys(QObject *viewModel, const QStringList &keys)
{
    controller(viewModel)->setSeenKeys(QSet<QString>(keys.begin(), keys.end()));
}

int TestSupport::seenKeyCount(QObject *viewModel) { return int(controller(viewModel)->seenKeys().size()); }

void TestSupport::setLoginError(QObject *viewModel, const QVariant &message)
{
    controller(viewModel)->setLoginError(optionalText(message));
}

void TestSupport::setErrorMessage(QObject *progress, const QVariant &message)
{
    qobject_cast<ScrapeProgress *>(progress)->setErrorMessage(optionalText(message));
}

int TestSupport::enumValue(const QString &name)
{
    const QByteArray key = name.toLatin1();
    const int phase = QMetaEnum::fromType<ScrapePhase>().keyToValue(key.constData());
    return phase >= 0 ? phase : QMetaEnum::fromType<ScraperViewModel::ViewState>().keyToValue(key.constData());
}

QUrl TestSupport::folderUrl(const QString &name)
{
    const QString path
        = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + u"/velmoria-ui-test/"_s + name;
    QDir().mkpath(path);
    return QUrl::fromLocalFile(path);
}

QString TestSupport::storedOutputDirectory() { return QSettings().value(u"outputDir"_s).toString(); }

QStringList TestSupport::takeOpenedUrls() { return std::exchange(m_openedUrls, {}); }

void TestSupport::captureUrlOpenings()
{
    QDesktopServices::setUrlHandler(u"https"_s, this, "recordOpenedUrl");
    QDesktopServices::setUrlHandler(u"http"_s, this, "recordOpenedUrl");
}

void TestSupport::recordOpenedUrl(const QUrl &url) { m_openedUrls.append(url.toString()); }
