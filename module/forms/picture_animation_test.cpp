// An animation step of an already loaded picture (next frame, decode, redraw) makes no heap
// allocation, for every smiley of the default skin, and still draws the new frame.
//
// Allocations are counted per thread (testing/allocation_counter.h), so the device's own threads
// do not disturb the count.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings.h"
#include "forms/picture.h"
#include "render/smiley_table.h"
#include "testing/allocation_counter.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;

// Heap allocations `f` makes on this thread.
template <typename F>
long AllocationsIn(F&& f) {
  const long before = ThreadAllocations().load();
  f();
  return ThreadAllocations().load() - before;
}

void Step(PICTURE* p) {
  p->frame = (p->frame + 1) % p->frameCount;
  DecodePictureFrame(p);
  RedrawPicture(p);
}

std::vector<uint8_t> BitmapBytes(HBITMAP bitmap) {
  DIBSECTION dib = {};
  if (GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || !dib.dsBm.bmBits) return {};
  const auto* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
  return std::vector<uint8_t>(bits, bits + size_t(dib.dsBm.bmWidthBytes) * dib.dsBm.bmHeight);
}

class PictureAnimationTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    const fs::path source = fs::path(PELLIX_SKINS_DIR) / "default";
    const fs::path skins = HostPath(u"\\Skins");
    fs::create_directories(skins);
    fs::copy(source, skins / "default", fs::copy_options::recursive);
    g_Settings.InstallDir.Set(u"\\");
    g_Settings.SkinName.Set(u"default");
    LoadSmileyTable();
    for (LONG i = 0; i < g_SmileyCount; ++i) {
      const std::string s = std::to_string(i);
      const std::u16string name(s.begin(), s.end());
      if (PICTURE* p = GetSmileyImage(name.c_str())) pictures_.push_back(p);
    }
  }
  void TearDown() override {
    FreeSmileyTable();
    DeviceTest::TearDown();
  }

  std::vector<PICTURE*> pictures_;
};

TEST_F(PictureAnimationTest, StepOfLoadedPicturesAllocatesNothing) {
  ASSERT_EQ(AllocationsIn([] {  // the counter counts
              int* volatile p = new int(1);
              delete p;
            }),
            1);
  ASSERT_EQ(static_cast<LONG>(pictures_.size()), g_SmileyCount);
  ASSERT_GT(pictures_.size(), 0u);

  // The first step may set up what later ones reuse (the graphics engine's context slot).
  for (PICTURE* p : pictures_) Step(p);
  size_t animated = 0;
  for (PICTURE* p : pictures_) {
    if (p->frameCount > 1) ++animated;
    for (UINT i = 0; i < p->frameCount + 1; ++i)
      EXPECT_EQ(AllocationsIn([p] { Step(p); }), 0) << "picture with " << p->frameCount << " frames, frame " << p->frame;
  }
  EXPECT_GT(animated, 0u);
}

TEST_F(PictureAnimationTest, StepDrawsTheNextFrame) {
  // Some frame of an animated smiley differs from the one before it, and after a full cycle
  // the bitmap is back to where it started.
  PICTURE* animated = nullptr;
  for (PICTURE* p : pictures_)
    if (p->frameCount > 1) animated = p;
  ASSERT_NE(animated, nullptr);
  const std::vector<uint8_t> first = BitmapBytes(animated->hBitmap);
  ASSERT_FALSE(first.empty());
  bool changed = false;
  for (UINT i = 0; i < animated->frameCount; ++i) {
    Step(animated);
    if (i + 1 < animated->frameCount && BitmapBytes(animated->hBitmap) != first) changed = true;
  }
  EXPECT_EQ(animated->frame, 0u);
  EXPECT_TRUE(changed);
  EXPECT_EQ(BitmapBytes(animated->hBitmap), first);
}

TEST_F(PictureAnimationTest, KeptFramesMatchFreshlyDecodedOnesWithoutAllocating) {
  // Each animated smiley stepped from its kept frames, over two rounds, against a twin loaded
  // from the same file that decodes and redraws every frame.
  size_t compared = 0;
  for (PICTURE* p : pictures_) {
    if (p->frameCount < 2) continue;
    PICTURE twin;
    InitPicture(&twin);
    ASSERT_TRUE(SUCCEEDED(LoadPictureFromFile(&twin, p->path)));
    while (p->frame != 0) StepPictureFrame(p);
    for (UINT i = 0; i < 2 * p->frameCount + 1; ++i) {
      Step(&twin);
      const long allocations = AllocationsIn([p] { StepPictureFrame(p); });
      if (i >= p->frameCount) {
        EXPECT_EQ(allocations, 0) << "kept frame " << p->frame;
      }
      ASSERT_EQ(p->frame, twin.frame);
      ASSERT_EQ(BitmapBytes(p->hBitmap), BitmapBytes(twin.hBitmap)) << "frame " << p->frame << " round " << i / p->frameCount;
    }
    ReleasePicture(&twin);
    ++compared;
  }
  EXPECT_GT(compared, 0u);
}

}  // namespace
