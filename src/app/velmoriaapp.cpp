#include "velmoriaapp.h"

#include <QQmlComponent>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include "controller/appidentity.h"
#include "controller/scraperviewmodel.h"

Q_IMPORT_QML_PLUGIN(VelmoriaPlugin)

using namespace Qt::StringLiterals;

void VelmoriaApp::prepareProcess()
{
    // Qt Quick and the portal's web-engine widget share GL contexts only when told before start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

VelmoriaApp::VelmoriaApp(int &argc, char **argv)
    : m_application((prepareProcess(), argc), argv)
    , m_engine(std::make_unique<QQmlApplicationEngine>())
{
    applyApplicationIdentity();
    m_engine->addImportPath(u"qrc:/"_s);
}

VelmoriaApp::~VelmoriaApp()
{
    // Windows first: their controllers are parented to them.
    m_engine.reset();
}

bool VelmoriaApp::openWindow()
{
    QQmlComponent component(m_engine.get(), QUrl(u"qrc:/Velmoria/Main.qml"_s));
    if (component.isError()) {
        qWarning().noquote() << component.errorString();
        return false;
    }
    auto *viewModel = new ScraperViewModel();
    QObject *window = component.createWithInitialProperties({{u"viewModel"_s, QVariant::fromValue(viewModel)}});
    if (!window) {
        qWarning().noquote() << component.errorString();
        delete viewModel;
        return false;
    }
    viewModel->setParent(window);
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    window->setParent(m_engine.get());
    return true;
}

int VelmoriaApp::exec()
{
    return QApplication::exec();
}
