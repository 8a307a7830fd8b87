// Runs the QML tests in qml/ with a QApplication (the controller's web view is a widget), the
// application's QML module linked in and a TestSupport singleton for what QML cannot set itself.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMetaEnum>
#include <QQmlEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

#include "controller/appidentity.h"
#include "controller/scrapeprogress.h"
#include "controller/scraperviewmodel.h"

using namespace Qt::StringLiterals;

Q_IMPORT_QML_PLUGIN(VelmoriaPlugin)

namespace {
ScraperViewModel *controller(QObject *object) { return qobject_cast<ScraperViewModel *>(object); }

std::optional<QString> optionalText(const QVariant &message)
{
    return message.isNull() ? std::nullopt : std::optional(message.toString());
}
} // namespace

/** Real controllers and the states QML cannot set directly: case lists, optional messages, enum values. */
class TestSupport : public QObject
{
    Q_OBJECT

public:
    // Port 9 (discard) is closed here; no test presses start with valid credentials.
    Q_INVOKABLE QObject *createViewModel() { return new ScraperViewModel(QUrl(u"http://127.0.0.1:9/login"_s)); }
    /** Gives the controller @p count cases; case i has "I C i/26" as its reference. */
    Q_INVOKABLE void fillCases(QObject *viewModel, int count)
    {
        QList<CourtCase> cases;
        for (int i = 0; i < count; ++i)
            cases.append(CourtCase({ u"I C %1/26"_s.arg(i), u"Sąd Rejonowy %1"_s.arg(i % 7), u"I Wydział Cywilny"_s,
                u"o zapłatę"_s, u"Jan Kowalski"_s, u"SSR Anna Nowak"_s, u"2026-01-02"_s, QString(), u"W toku"_s }));
        controller(viewModel)->setCases(cases);
    }
    Q_INVOKABLE void appendCase(QObject *viewModel, const QStringList &cells)
    {
        controller(viewModel)->setCases(controller(viewModel)->cases() << CourtCase(cells));
    }
    Q_INVOKABLE void setSeenKeys(QObject *viewModel, const QStringList &keys)
    {
        controller(viewModel)->setSeenKeys(QSet<QString>(keys.begin(), keys.end()));
    }
    Q_INVOKABLE int seenKeyCount(QObject *viewModel) { return int(controller(viewModel)->seenKeys().size()); }
    /** Undefined or null removes the message. */
    Q_INVOKABLE void setLoginError(QObject *viewModel, const QVariant &message)
    {
        controller(viewModel)->setLoginError(optionalText(message));
    }
    Q_INVOKABLE void setErrorMessage(QObject *progress, const QVariant &message)
    {
        qobject_cast<ScrapeProgress *>(progress)->setErrorMessage(optionalText(message));
    }
    /** A phase or view state by its name ("error", "results", ...). */
    Q_INVOKABLE int enumValue(const QString &name)
    {
        const QByteArray key = name.toLatin1();
        const int phase = QMetaEnum::fromType<ScrapePhase>().keyToValue(key.constData());
        return phase >= 0 ? phase : QMetaEnum::fromType<ScraperViewModel::ViewState>().keyToValue(key.constData());
    }
    Q_INVOKABLE QUrl folderUrl(const QString &name)
    {
        const QString path
            = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + u"/velmoria-ui-test/"_s + name;
        QDir().mkpath(path);
        return QUrl::fromLocalFile(path);
    }
    /** Web addresses the application asked the desktop to open since the last call. */
    Q_INVOKABLE QStringList takeOpenedUrls() { return std::exchange(m_openedUrls, {}); }

public Q_SLOTS:
    void recordOpenedUrl(const QUrl &url) { m_openedUrls.append(url.toString()); }

private:
    QStringList m_openedUrls;
};

class Setup : public QObject
{
    Q_OBJECT

public:
    ~Setup() override { QDesktopServices::unsetUrlHandler(u"https"_s); }

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(u"qrc:/"_s);
        // The footer's page is caught in-process instead of starting a browser.
        QDesktopServices::setUrlHandler(u"https"_s, &m_support, "recordOpenedUrl");
        qmlRegisterSingletonInstance("VelmoriaTest", 1, 0, "TestSupport", &m_support);
    }

private:
    TestSupport m_support;
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    applyApplicationIdentity();
    QSettings().clear();
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "velmoria_ui", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_uiquick.moc"
