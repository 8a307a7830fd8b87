// Runs the QML tests in qml/ with a QApplication (the controller's web view is a widget)
// and the application's QML module linked in.
#include <QApplication>
#include <QQmlEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

#include "controller/appidentity.h"
#include "testsupport.h"

Q_IMPORT_QML_PLUGIN(VelmoriaPlugin)

class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/"));
        m_support.captureUrlOpenings();
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
