/* The counting test heap: the four process-heap functions over the C
 * allocator, with a set of live blocks and a planned failure. Linked into
 * test programs in place of plugin/os/process_heap.cpp. */
#include "test_heap.h"

#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "os/process_heap.h"

namespace {

struct Counters {
  std::unordered_set<void *> live;
  uint32_t allocations = 0;
  uint32_t failAt = 0;
  uint32_t badReleases = 0;
  uint64_t lastRequest = 0;
};

Counters &C() {
  static Counters counters;
  return counters;
}

/* Counts an allocation of `size` bytes; false when it is the one planned to
 * fail. */
bool Admit(std::size_t size) {
  C().lastRequest = size;
  return ++C().allocations != C().failAt;
}

void *Track(void *block) {
  if (block) C().live.insert(block);
  return block;
}

bool Owned(void *block) {
  if (C().live.count(block)) return true;
  ++C().badReleases;
  return false;
}

}  // namespace

void *HeapAllocateZeroed(std::size_t size) {
  return Admit(size) ? Track(std::calloc(1, size ? size : 1)) : nullptr;
}

/* Fresh blocks are filled with 0xA5 so that reading unwritten bytes shows. */
void *HeapAllocate(std::size_t size) {
  if (!Admit(size)) return nullptr;
  void *block = std::malloc(size ? size : 1);
  if (block) std::memset(block, 0xA5, size);
  return Track(block);
}

void *HeapResize(void *block, std::size_t size) {
  if (!block) return HeapAllocate(size);
  if (!Owned(block) || !Admit(size)) return nullptr;
  void *resized = std::realloc(block, size ? size : 1);
  if (!resized) return nullptr;
  C().live.erase(block);
  return Track(resized);
}

void HeapRelease(void *block) {
  if (!block || !Owned(block)) return;
  C().live.erase(block);
  std::free(block);
}

extern "C" {

void TestHeap_Reset(void) {
  C().allocations = 0;
  C().failAt = 0;
  C().badReleases = 0;
}
void TestHeap_FailAt(uint32_t nth) { C().failAt = nth ? C().allocations + nth : 0; }
uint32_t TestHeap_Allocations(void) { return C().allocations; }
uint32_t TestHeap_LiveBlocks(void) { return uint32_t(C().live.size()); }
uint64_t TestHeap_LastRequest(void) { return C().lastRequest; }
uint32_t TestHeap_BadReleases(void) { return C().badReleases; }

}  // extern "C"
