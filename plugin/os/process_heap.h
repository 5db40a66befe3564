/* The process heap, the one allocator of the plug-in. On Windows it is the
 * process's default heap (GetProcessHeap with HeapAlloc/HeapReAlloc/HeapFree),
 * elsewhere the C allocator. Tests link tests/doubles' counting heap in its
 * place, which counts live blocks and can fail the N-th allocation. */
#ifndef VARDEK_PROCESS_HEAP_H
#define VARDEK_PROCESS_HEAP_H

#include <cstddef>

/* A block of `size` zero bytes, or null. */
void *HeapAllocateZeroed(std::size_t size);

/* A block of `size` bytes, or null. Its contents are unspecified. */
void *HeapAllocate(std::size_t size);

/* `block` resized to `size` bytes, keeping its contents up to the smaller of
 * the two sizes; null on failure, in which case `block` is left untouched and
 * still owned by the caller. */
void *HeapResize(void *block, std::size_t size);

/* Returns `block` to the heap. Null is ignored. */
void HeapRelease(void *block);

#endif
