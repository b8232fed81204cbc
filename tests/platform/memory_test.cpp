// Global heap conformance.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"

namespace {

TEST(MemoryTest, MovableBlocksAreZeroFilledAndLockable) {
  HGLOBAL handle = GlobalAlloc(GHND, 348);
  ASSERT_NE(handle, nullptr);
  auto* data = static_cast<unsigned char*>(GlobalLock(handle));
  ASSERT_NE(data, nullptr);
  for (int i = 0; i < 348; ++i) ASSERT_EQ(data[i], 0) << i;
  EXPECT_EQ(GlobalHandle(data), handle);
  EXPECT_GE(GlobalSize(handle), 348u);
  EXPECT_FALSE(GlobalUnlock(handle));  // the last lock is gone
  EXPECT_EQ(GlobalFree(handle), nullptr);
}

TEST(MemoryTest, ReallocKeepsContentsBothWays) {
  HGLOBAL handle = GlobalAlloc(GHND, 3 * 348);
  ASSERT_NE(handle, nullptr);
  auto* data = static_cast<unsigned char*>(GlobalLock(handle));
  for (int i = 0; i < 3 * 348; ++i) data[i] = static_cast<unsigned char>(i * 7);
  GlobalUnlock(handle);

  HGLOBAL smaller = GlobalReAlloc(handle, 2 * 348, GMEM_MOVEABLE);
  ASSERT_NE(smaller, nullptr);
  data = static_cast<unsigned char*>(GlobalLock(smaller));
  for (int i = 0; i < 2 * 348; ++i) ASSERT_EQ(data[i], static_cast<unsigned char>(i * 7)) << i;
  GlobalUnlock(smaller);

  HGLOBAL larger = GlobalReAlloc(smaller, 8 * 348, GMEM_MOVEABLE | GMEM_ZEROINIT);
  ASSERT_NE(larger, nullptr);
  data = static_cast<unsigned char*>(GlobalLock(larger));
  for (int i = 0; i < 2 * 348; ++i) ASSERT_EQ(data[i], static_cast<unsigned char>(i * 7)) << i;
  for (int i = 2 * 348; i < 8 * 348; ++i) ASSERT_EQ(data[i], 0) << i;
  GlobalUnlock(larger);
  EXPECT_EQ(GlobalFree(larger), nullptr);
}

TEST(MemoryTest, FixedBlocksAreTheirOwnHandles) {
  HGLOBAL handle = GlobalAlloc(GPTR, 64);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GlobalLock(handle), static_cast<void*>(handle));
  EXPECT_EQ(GlobalHandle(handle), handle);
  EXPECT_EQ(GlobalFree(handle), nullptr);
}

}  // namespace
