#pragma once

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTranslator>

#include <memory>

class ScraperViewModel;

/**
 * The application: one QApplication (the portal's web view is a widget) and one QML engine
 * showing the main window, whose controller is made here and lives as long as the window.
 */
class VelmoriaApp
{
public:
    VelmoriaApp(int &argc, char **argv);
    ~VelmoriaApp();

    /** Opens a window with its own new controller; null when the window could not be built. */
    QQuickWindow *openWindow();
    /** Opens a window over @p viewModel, which the window then owns. */
    QQuickWindow *openWindow(ScraperViewModel *viewModel);
    /** Runs the event loop until the application quits. */
    int exec();

    [[nodiscard]] QQmlApplicationEngine &engine() { return *m_engine; }

    /** Settings the process needs before the QApplication exists. */
    static void prepareProcess();

private:
    QApplication m_application;
    // Qt's own texts (dialogs, standard buttons) in Polish, like the rest of the application.
    QTranslator m_qtTranslator;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QList<QPointer<QQuickWindow>> m_windows;
};
