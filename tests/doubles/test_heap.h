/* Control of the counting test heap (library vardek_test_heap), which
 * replaces plugin/os/process_heap.cpp in test programs: it counts live blocks
 * and can fail the N-th allocation, resizes counted as allocations. */
#ifndef VARDEK_TEST_HEAP_H
#define VARDEK_TEST_HEAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets the counters and any planned failure. Live blocks stay counted. */
void TestHeap_Reset(void);
/* The nth allocation from now (1-based, resizes included) fails; 0 = none. */
void TestHeap_FailAt(uint32_t nth);
/* Allocations and resizes since Reset, including the failed one. */
uint32_t TestHeap_Allocations(void);
/* Blocks allocated and not yet released. */
uint32_t TestHeap_LiveBlocks(void);
/* Bytes asked for by the latest allocation or resize, failed or not. */
uint64_t TestHeap_LastRequest(void);
/* Releases or resizes of a pointer the heap did not hand out. */
uint32_t TestHeap_BadReleases(void);

#ifdef __cplusplus
}
#endif

#endif
