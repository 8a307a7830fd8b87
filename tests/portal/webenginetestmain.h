#pragma once

#include "portal/localizederror.h"
#include "support/runtask.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

// main() for tests that run the web engine: the engine wants shared GL contexts before the application
// exists, and test mode keeps QStandardPaths away from the user's folders.
#define VELMORIA_WEBENGINE_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                          \
        QStandardPaths::setTestModeEnabled(true);                                                            \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

/** The message @p task fails with; empty when it succeeds. */
template<typename T> QString failureOf(QCoro::Task<T> task)
{
    try {
        runTask(std::move(task));
    } catch (const LocalizedError &error) {
        return error.errorDescription();
    }
    return {};
}
