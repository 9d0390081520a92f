// pellix-device picture info, run as a person would run it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "imaging/sample_pictures.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::device::imaging::samples::GifFrameSpec;
using pellix::device::imaging::samples::GifSpec;

struct Output {
  int status;
  std::string text;
};

Output RunTool(const std::string& args) {
  pellix::testing::ToolRun run = pellix::testing::RunTool({}, args);
  return Output{run.status, run.out};
}

void Save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(PictureCommand, ShowsSizeFramesAndDelays) {
  pellix::testing::TempDir dir;
  GifSpec desc;
  desc.width = 3, desc.height = 2;
  desc.palette = {0x000000, 0xFFFFFF};
  desc.loop = 2;
  for (int delay : {5, 25, 100}) {
    GifFrameSpec f;
    f.width = 3, f.height = 2, f.indices.assign(6, 1), f.delay_cs = delay;
    desc.frames.push_back(f);
  }
  Save(dir.path() / "three.gif", pellix::device::imaging::samples::WriteGif(desc));
  Output out = RunTool("picture info " + (dir.path() / "three.gif").string());
  EXPECT_EQ(out.status, 0) << out.text;
  EXPECT_EQ(out.text,
            "format: GIF\n"
            "size: 3 x 2\n"
            "pixel format: 8bppIndexed\n"
            "alpha: no\n"
            "frames: 3\n"
            "loops: 2\n"
            "frame 0: 50 ms\n"
            "frame 1: 250 ms\n"
            "frame 2: 1000 ms\n");
}

TEST(PictureCommand, RefusesWhatItCannotDecode) {
  pellix::testing::TempDir dir;
  Save(dir.path() / "empty.png", {});
  Save(dir.path() / "text.gif", {'h', 'i'});
  for (const char* name : {"empty.png", "text.gif", "missing.bmp"}) {
    Output out = RunTool("picture info " + (dir.path() / name).string());
    EXPECT_EQ(out.status, 1) << name;
    EXPECT_NE(out.text.find(name), std::string::npos) << out.text;
  }
  EXPECT_EQ(RunTool("picture").status, 2);
}

TEST(PictureCommand, SaysWhyAndTakesAJpegWithoutItsEndMarker) {
  pellix::testing::TempDir dir;
  GifSpec huge;
  huge.width = 4096, huge.height = 4096;
  huge.palette = {0x000000, 0xFFFFFF};
  for (int i = 0; i < 5; ++i) {
    GifFrameSpec f;
    f.width = 1, f.height = 1, f.indices = {1};
    huge.frames.push_back(f);
  }
  Save(dir.path() / "huge.gif", pellix::device::imaging::samples::WriteGif(huge));
  Output refused = RunTool("picture info " + (dir.path() / "huge.gif").string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.text.find("(GIF: animation too large: 5 frames of 4096x4096)"), std::string::npos) << refused.text;

  std::vector<uint8_t> jpeg = pellix::device::imaging::samples::WriteJpeg(8, 4, std::vector<uint32_t>(32, 0xFF336699), 90);
  jpeg.resize(jpeg.size() - 2);  // the end-of-image marker
  Save(dir.path() / "open.jpg", jpeg);
  Output open = RunTool("picture info " + (dir.path() / "open.jpg").string());
  EXPECT_EQ(open.status, 0) << open.text;
  EXPECT_NE(open.text.find("size: 8 x 4\n"), std::string::npos) << open.text;
}

}  // namespace
