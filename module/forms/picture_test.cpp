// Loading a picture object from a file on the device: what each kind of failure returns and
// leaves behind, and a still picture that loads as exactly one frame.
#include "forms/picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/sample_pictures.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;
namespace samples = pellix::device::imaging::samples;

class PictureTest : public pellix::testing::DeviceTest {
 protected:
  void TearDown() override {
    ReleasePicture(&picture_);
    DeviceTest::TearDown();
  }
  void Write(const std::u16string& devicePath, const std::vector<uint8_t>& bytes) {
    fs::path host = HostPath(devicePath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  HRESULT Load(const std::u16string& path) {
    InitPicture(&picture_);
    return LoadPictureFromFile(&picture_, path.c_str());
  }
  PICTURE picture_{};
};

TEST_F(PictureTest, FailuresSayWhatFailedAndLeaveNoFileOpen) {
  // A path longer than the object's 260 characters fails with the copy's own error.
  EXPECT_EQ(Load(u"\\" + std::u16string(300, u'p') + u".gif"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(picture_.hFile, INVALID_HANDLE_VALUE);
  ReleasePicture(&picture_);

  EXPECT_EQ(Load(u"\\Missing\\smile.gif"), E_FAIL);
  EXPECT_EQ(picture_.hFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(picture_.hBitmap, nullptr);
  ReleasePicture(&picture_);

  // An empty file is read, but no decoder takes it.
  Write(u"\\Pictures\\empty.gif", {});
  EXPECT_TRUE(FAILED(Load(u"\\Pictures\\empty.gif")));
  EXPECT_EQ(picture_.hFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(picture_.hBitmap, nullptr);
}

TEST_F(PictureTest, AStillGifIsOneFrame) {
  samples::GifSpec gif;
  gif.width = 3;
  gif.height = 2;
  gif.palette = {0xFF0000, 0x0000FF};
  samples::GifFrameSpec frame;
  frame.width = 3;
  frame.height = 2;
  frame.indices = {0, 1, 0, 1, 0, 1};
  gif.frames.push_back(frame);
  Write(u"\\Pictures\\still.gif", samples::WriteGif(gif));
  ASSERT_EQ(Load(u"\\Pictures\\still.gif"), S_OK);
  EXPECT_EQ(picture_.frameCount, 1u);
  EXPECT_EQ(picture_.frame, 0u);
  EXPECT_EQ(picture_.width, 3);
  EXPECT_EQ(picture_.height, 2);
  EXPECT_NE(picture_.hBitmap, nullptr);
  EXPECT_EQ(picture_.hFile, INVALID_HANDLE_VALUE) << "the file is closed once read";
  EXPECT_EQ(std::u16string(picture_.path), u"\\Pictures\\still.gif");
}

}  // namespace
