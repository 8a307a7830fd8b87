#pragma once

/**
 * Tunes the C library's allocator for runs of any length: blocks of 1 MiB and more (one repaint of
 * the portal's window is about 5 MB) never grow the heap but get a mapping of their own, given back
 * to the system when freed. Call once at start, before the QApplication exists; nothing outside glibc.
 */
void tuneAllocator();
