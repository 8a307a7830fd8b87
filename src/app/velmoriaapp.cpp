#include "velmoriaapp.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include "app/allocatortuning.h"
#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"

Q_IMPORT_QML_PLUGIN(VelmoriaPlugin)

using namespace Qt::StringLiterals;

void VelmoriaApp::prepareProcess()
{
    // First, so that every allocation of a long run follows it.
    tuneAllocator();
    // Qt Quick and the portal's web-engine widget share GL contexts only when told before start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The portal's page is never seen, so Chromium needs no GPU; without one it also starts
    // cleanly on virtual displays. A user's own Chromium flags take precedence.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // The engine's start-up report is diagnostics for Qt's developers, not for our users.
    QLoggingCategory::setFilterRules(u"qt.webenginecontext.info=false"_s);
}

VelmoriaApp::VelmoriaApp(int &argc, char **argv)
    : m_application((prepareProcess(), argc), argv)
    , m_engine(std::make_unique<QQmlApplicationEngine>())
{
    applyApplicationIdentity();
    // Missing translations (no Polish package installed) leave Qt's texts in English.
    if (m_qtTranslator.load(QLocale(QLocale::Polish, QLocale::Poland), u"qt"_s, u"_"_s,
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtTranslator);
    m_engine->addImportPath(u"qrc:/"_s);
}

VelmoriaApp::~VelmoriaApp()
{
    // Windows (and the controllers they own) go before the engine that built them.
    for (const auto &window : std::as_const(m_windows))
        delete window.data();
    m_engine.reset();
}

QQuickWindow *VelmoriaApp::openWindow() { return openWindow(new ScraperViewModel()); }

QQuickWindow *VelmoriaApp::openWindow(ScraperViewModel *viewModel)
{
    QQmlComponent component(m_engine.get(), QUrl(u"qrc:/Velmoria/Main.qml"_s));
    QObject *created = component.isError()
        ? nullptr
        : component.createWithInitialProperties({ { u"viewModel"_s, QVariant::fromValue(viewModel) } });
    auto *window = qobject_cast<QQuickWindow *>(created);
    if (!window) {
        qWarning().noquote() << component.errorString();
        delete created;
        delete viewModel;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    m_windows.append(window);
    viewModel->setParent(window);
    // The controller's hidden web window was shown first and may hold the activation.
    window->requestActivate();
    return window;
}

int VelmoriaApp::exec() { return QApplication::exec(); }
