/* The process heap (see process_heap.h): Win32's default process heap on
 * Windows, the C allocator elsewhere. Nothing here tracks blocks; the test
 * heap under tests/doubles does that. */
#include "process_heap.h"

#ifdef _WIN32
#include <windows.h>

void *HeapAllocateZeroed(std::size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1); }
void *HeapAllocate(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void *HeapResize(void *block, std::size_t size) {
  if (!block) return HeapAllocate(size);
  return HeapReAlloc(GetProcessHeap(), 0, block, size ? size : 1);
}
void HeapRelease(void *block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}
#else
#include <cstdlib>

void *HeapAllocateZeroed(std::size_t size) { return std::calloc(1, size ? size : 1); }
void *HeapAllocate(std::size_t size) { return std::malloc(size ? size : 1); }
void *HeapResize(void *block, std::size_t size) { return std::realloc(block, size ? size : 1); }
void HeapRelease(void *block) { std::free(block); }
#endif
