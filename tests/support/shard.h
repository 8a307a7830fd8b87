#pragma once

#include <QByteArrayList>

// Whether the data row numbered @p index runs in this process: CTest may split a long table over processes
// that run side by side, telling each its share as VELMORIA_TEST_SHARD="k/n".
inline bool inThisShard(int index)
{
    const QByteArrayList shard = qgetenv("VELMORIA_TEST_SHARD").split('/');
    return shard.size() != 2 || index % shard[1].toInt() == shard[0].toInt();
}
