/* The ring buffer of URL files: appends that wrap, copies across the seam,
 * dropping from the front and growing with contents kept. */
#include <gtest/gtest.h>

#include <numeric>

#include "url_window.h"

namespace {

std::vector<uint8_t> Counting(size_t from, size_t count) {
  std::vector<uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(from));
  return bytes;
}

std::vector<uint8_t> CopyOut(const UrlWindow &w, uint64_t position, size_t count) {
  std::vector<uint8_t> out(count);
  out.resize(WindowCopy(w, position, out.data(), count));
  return out;
}

TEST(UrlWindow, AppendsAcrossTheSeamAndCopiesBack) {
  UrlWindow w;
  WindowReset(w, 100);
  ASSERT_TRUE(WindowReserve(w, 8));
  WindowAppend(w, Counting(0, 6).data(), 6);  /* positions 100..105 */
  WindowDropBefore(w, 104);              /* keeps 104, 105 */
  EXPECT_EQ(WindowRoom(w), 6u);
  WindowAppend(w, Counting(6, 5).data(), 5);  /* 106..110, wraps */
  EXPECT_EQ(w.start, 104u);
  EXPECT_EQ(w.end, 111u);
  EXPECT_EQ(CopyOut(w, 104, 100), (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(CopyOut(w, 109, 1), (std::vector<uint8_t>{9}));
}

TEST(UrlWindow, CopyOutsideTheHeldBytesGivesNothing) {
  UrlWindow w;
  WindowReset(w, 10);
  ASSERT_TRUE(WindowReserve(w, 4));
  WindowAppend(w, Counting(0, 4).data(), 4);
  struct Case { uint64_t position; size_t expected; } cases[] = {{9, 0}, {10, 4}, {13, 1}, {14, 0}, {99, 0}};
  for (const Case &c : cases) EXPECT_EQ(CopyOut(w, c.position, 10).size(), c.expected) << c.position;
}

TEST(UrlWindow, GrowingKeepsWrappedContents) {
  UrlWindow w;
  WindowReset(w, 0);
  ASSERT_TRUE(WindowReserve(w, 4));
  WindowAppend(w, Counting(0, 4).data(), 4);
  WindowDropBefore(w, 3);
  WindowAppend(w, Counting(4, 3).data(), 3); /* wraps: 3,4,5,6 */
  ASSERT_TRUE(WindowReserve(w, 16));
  EXPECT_EQ(w.ring.size(), 16u);
  EXPECT_EQ(CopyOut(w, 3, 16), (std::vector<uint8_t>{3, 4, 5, 6}));
  WindowAppend(w, Counting(7, 12).data(), 12);
  EXPECT_EQ(CopyOut(w, 3, 16), Counting(3, 16));
}

TEST(UrlWindow, DropBeforeIsClampedAndResetEmpties) {
  UrlWindow w;
  WindowReset(w, 50);
  ASSERT_TRUE(WindowReserve(w, 8));
  WindowAppend(w, Counting(0, 5).data(), 5);
  WindowDropBefore(w, 10);
  EXPECT_EQ(w.start, 50u);
  WindowDropBefore(w, 1000);
  EXPECT_EQ(w.start, 55u);
  EXPECT_EQ(WindowHeld(w), 0u);
  WindowReset(w, 7);
  EXPECT_EQ(WindowHeld(w), 0u);
  EXPECT_EQ(w.end, 7u);
  EXPECT_EQ(WindowRoom(w), 8u);
}

}  // namespace
