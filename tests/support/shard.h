#pragma once

#include <QByteArrayList>
#include <QMetaMethod>
#include <QObject>
#include <QTest>

// Whether the data row numbered @p index runs in this process: CTest may split a long table over processes
// that run side by side, telling each its share as VELMORIA_TEST_SHARD="k/n".
inline bool inThisShard(int index)
{
    const QByteArrayList shard = qgetenv("VELMORIA_TEST_SHARD").split('/');
    return shard.size() != 2 || index % shard[1].toInt() == shard[0].toInt();
}

// Whether the test function now running belongs to this process, by its place among @p test's test functions:
// call it from init() and skip the function when it does not.
inline bool functionInThisShard(const QObject *test)
{
    const QMetaObject *meta = test->metaObject();
    const QByteArrayList fixtures { "init", "cleanup", "initTestCase", "cleanupTestCase" };
    int index = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private
            || method.name().endsWith("_data") || fixtures.contains(method.name()))
            continue;
        if (method.name() == QTest::currentTestFunction())
            return inThisShard(index);
        ++index;
    }
    return true;
}
