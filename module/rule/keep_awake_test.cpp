#include <gtest/gtest.h>

#include "rule/keep_awake.h"
#include "testing/temp_image.h"

namespace {

using KeepAwakeTest = pellix::testing::DeviceTest;

TEST_F(KeepAwakeTest, HandleIsSetWhileBusyAndClearedAfter) {
  StartKeepAwake();
  HANDLE running = g_hKeepAwakeThread;
  EXPECT_NE(running, nullptr);
  EXPECT_NE(running, INVALID_HANDLE_VALUE);
  StopKeepAwake();
  EXPECT_EQ(g_hKeepAwakeThread, nullptr);
  StopKeepAwake();  // twice is harmless
}

}  // namespace
