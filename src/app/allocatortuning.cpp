#include "allocatortuning.h"

// Any C library header defines __GLIBC__ under glibc.
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void tuneAllocator()
{
#ifdef __GLIBC__
    constexpr int separateMappingBytes = 1024 * 1024;
    // glibc raises its mmap threshold to the size of every large block freed, so after the first repaint
    // the frames come from the heap, and the holes they leave there are never returned. A fixed
    // threshold keeps them in mappings of their own, unmapped on free.
    mallopt(M_MMAP_THRESHOLD, separateMappingBytes);
#endif
}
