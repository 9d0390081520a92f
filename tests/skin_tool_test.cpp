// pellix-device skin show / eval / check, run as a skin author runs them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "imaging/sample_pictures.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

using pellix::testing::ToolRun;

class SkinToolTest : public ::testing::Test {
 protected:
  // A new image as `init` makes it: the module and the shipped skins installed.
  void SetUp() override {
    image_ = dir_.path() / "image";
    ToolRun run = Tool("init");
    ASSERT_EQ(run.status, 0) << run.err;
  }

  fs::path SkinsDir() const { return image_ / "fs" / "Program Files" / "Halvane Quorrin" / "Pellix" / "Skins"; }

  void WriteFile(const std::string& skin, const std::string& name, const std::string& text) {
    fs::create_directories(SkinsDir() / skin);
    std::ofstream(SkinsDir() / skin / name, std::ios::binary) << text;
  }

  ToolRun Tool(const std::string& args) { return pellix::testing::RunTool(image_, args, /*merge_stderr=*/false); }

  pellix::testing::TempDir dir_;
  fs::path image_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST_F(SkinToolTest, ShowPrintsTheRecordInTableOrder) {
  ToolRun run = Tool("skin show");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  const char* names[] = {"NotifyWndHeight", "NotifyWndStartX", "NotifyWndStartY", "NotifyWndWidth",
                         "CaptionHeight", "SkinBMP", "AlphaBlendBackground", "DynamicHeight",
                         "Left", "Top", "Right", "Bottom", "HTMLLeft", "HTMLTop", "HTMLRight",
                         "HTMLBottom", "GifFrameDelay", "BottomAnchor"};
  ASSERT_EQ(lines.size(), std::size(names));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(std::string(names[i]) + " = ", 0), 0u);
  EXPECT_EQ(lines[0], "NotifyWndHeight = 80");
  EXPECT_EQ(lines[3], "NotifyWndWidth = 210");
  EXPECT_EQ(lines[5], "SkinBMP = \\Program Files\\Halvane Quorrin\\Pellix\\Skins\\default\\skin.bmp");
  EXPECT_EQ(lines[6], "AlphaBlendBackground = 200");
  EXPECT_EQ(lines[16], "GifFrameDelay = 150");
  EXPECT_EQ(lines[17], "BottomAnchor = 1");
}

TEST_F(SkinToolTest, ShowOfASkinWithoutSkinIniGivesTheBuiltInValues) {
  fs::create_directories(SkinsDir() / "nothing");
  ToolRun run = Tool("skin show nothing");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "NotifyWndHeight = 80\nNotifyWndStartX = 15\nNotifyWndStartY = 110\nNotifyWndWidth = -30\n"
            "CaptionHeight = 0\nSkinBMP = \nAlphaBlendBackground = 250\nDynamicHeight = 0\nLeft = 0\n"
            "Top = 0\nRight = 0\nBottom = 0\nHTMLLeft = 0\nHTMLTop = 0\nHTMLRight = 0\nHTMLBottom = 0\n"
            "GifFrameDelay = 250\nBottomAnchor = 0\n");
  EXPECT_NE(run.err.find("no skin.ini"), std::string::npos);
}

TEST_F(SkinToolTest, EvalGivesTheIntegerAndTheError) {
  struct Case {
    const char* args;
    int status;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"'_CXSCREEN-30'", 0, "210\n", ""},
      {"'(_CYSCREEN - 20) / 2'", 0, "150\n", ""},
      {"_CXSCREEN - 40", 0, "200\n", ""},     // separate words are joined again
      {"'-7/2'", 0, "-3\n", ""},
      {"'10/0'", 1, "0\n", "division by zero error"},
      {"'2^3^2'", 1, "0\n", "incomplete expression"},
      {"width", 1, "0\n", "syntax error"},
      {"'_NotifyHeight + 5'", 0, "5\n", "_NotifyHeight"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ToolRun run = Tool(std::string("skin eval ") + c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    if (*c.err)
      EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    else
      EXPECT_EQ(run.err, "");
  }
}

TEST_F(SkinToolTest, TheDefaultSkinPassesTheCheck) {
  ToolRun run = Tool("skin check");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "skin \"default\": no problems\n");
}

TEST_F(SkinToolTest, CheckReportsEachMistakeWithItsLine) {
  std::string ini =
      "[Skin]\n"                                        // 1
      "NotifyWndHeight=80\n"                            // 2 no blanks around =
      "NotifyWndHeight = \"_CYSCREEN / 4\"\n"           // 3 fine
      "NotifyWndWidth = 200\n"                          // 4 expression without quotes
      "NotifyWndStartX = \"10 / 0\"\n"                  // 5 does not evaluate
      "NotifyWndStartY = \"_CYSCREEN - (20\"\n"         // 6 a bracket never closed
      "AlphaBlendBackground = \"200\"\n"                // 7 integer with quotes
      "DynamicHeight = 1\n"                             // 8
      "SkinBMP = \"skin.bmp\"\n"                        // 9
      "Colour = \"red\"\n"                              // 10 unknown key
      "CaptionHeight = @12\n"                           // 11 unknown value form
      "[Borders]\n"                                     // 12
      " Left = \"2\"\n"                                 // 13 starts with a blank
      "[Skin]\n"                                        // 14 written twice
      "[Colours]\n"                                     // 15 unknown section
      "[Animation]\n"                                   // 16
      "GifFrameDelay = 150\n";                          // 17
  WriteFile("broken", "skin.ini", ini);
  for (const char* f : {"bubble.html", "bubblepic.html", "form.html", "bubble.css", "skin.bmp"})
    fs::copy_file(SkinsDir() / "default" / f, SkinsDir() / "broken" / f);
  ToolRun run = Tool("skin check broken");
  EXPECT_EQ(run.status, 1);
  const std::pair<const char*, const char*> expected[] = {
      {"skin.ini:2: ", "must stand between blanks (write \"NotifyWndHeight = 80\")"},
      {"skin.ini:4: ", "NotifyWndWidth must be an expression in double quotes"},
      {"skin.ini:5: ", "division by zero error"},
      {"skin.ini:6: ", "a \"(\" is never closed, and the evaluator says nothing: it gives 320"},
      {"skin.ini:7: ", "AlphaBlendBackground must be a plain decimal number"},
      {"skin.ini:10: ", "unknown key Colour in [Skin]"},
      {"skin.ini:11: ", "has no known form"},
      {"skin.ini:13: ", "starts with a blank"},
      {"skin.ini:14: ", "section [Skin] is written twice: only the first one (line 1) is read"},
      {"skin.ini:15: ", "unknown section [Colours]"},
  };
  for (const auto& [where, what] : expected) {
    SCOPED_TRACE(where);
    size_t at = run.out.find(where);
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_NE(run.out.substr(at, run.out.find('\n', at) - at).find(what), std::string::npos) << run.out;
  }
  EXPECT_EQ(run.out.find("skin.ini:3:"), std::string::npos) << run.out;
  // In line order: the whole file's findings, then line by line.
  int last = -1;
  for (const std::string& l : Lines(run.out)) {
    if (l.rfind("skin.ini", 0) != 0) continue;
    int line = l.size() > 9 && std::isdigit(static_cast<unsigned char>(l[9])) ? std::stoi(l.substr(9)) : 0;
    EXPECT_GE(line, last) << run.out;
    last = line;
  }
  EXPECT_NE(run.out.find("Smileydata.txt: missing"), std::string::npos);
}

TEST_F(SkinToolTest, CheckReportsMissingFilesAndBadPictures) {
  WriteFile("bare", "skin.ini",
            "[Skin]\nNotifyWndHeight = \"80\"\nNotifyWndStartX = \"10\"\nNotifyWndStartY = \"10\"\n"
            "NotifyWndWidth = \"200\"\nSkinBMP = \"dark.bmp\"\nAlphaBlendBackground = 9\n"
            "DynamicHeight = 0\n[Animation]\nGifFrameDelay = 100\n");
  // A 2 x 1 all-black 24-bit BMP: a picture that cuts everything away.
  std::string bmp = "BM";
  auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) bmp += char((v >> (8 * i)) & 0xFF); };
  auto put16 = [&](uint16_t v) { bmp += char(v & 0xFF); bmp += char(v >> 8); };
  put32(14 + 40 + 8); put32(0); put32(54);
  put32(40); put32(2); put32(1); put16(1); put16(24); put32(0); put32(8);
  put32(2835); put32(2835); put32(0); put32(0);
  bmp += std::string(8, '\0');
  WriteFile("bare", "dark.bmp", bmp);
  ToolRun run = Tool("skin check bare");
  EXPECT_EQ(run.status, 1);
  const char* expected[] = {
      "skin.ini:6: SkinBMP: the picture \"dark.bmp\" gives an empty shape",
      "bubble.html: missing: the built-in bubble page (string resource 110) is used instead",
      "bubblepic.html: missing: the built-in bubble page with the sender's picture (string resource 112)",
      "form.html: missing: the built-in page (string resource 110) is used instead",
      "bubble.css: missing: the built-in style \"BODY { font-size: 8pt; }\" is used instead",
      "Smileydata.txt: missing",
  };
  for (const char* e : expected) EXPECT_NE(run.out.find(e), std::string::npos) << e << "\n" << run.out;

  WriteFile("bare", "skin.ini", "[Skin]\nSkinBMP = \"gone.bmp\"\n");
  run = Tool("skin check bare");
  EXPECT_NE(run.out.find("skin.ini:2: SkinBMP: the picture \"gone.bmp\" is not in the skin folder"),
            std::string::npos) << run.out;
  EXPECT_NE(run.out.find("skin.ini: NotifyWndHeight is missing"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("skin.ini: DynamicHeight is not set"), std::string::npos) << run.out;
}

// A skin whose every other file is the default skin's, with `ini` as its skin.ini.
void CopyDefaultFiles(const fs::path& skins, const std::string& skin) {
  for (const char* f : {"bubble.html", "bubblepic.html", "form.html", "bubble.css", "skin.bmp", "Smileydata.txt"})
    fs::copy_file(skins / "default" / f, skins / skin / f, fs::copy_options::overwrite_existing);
  fs::copy(skins / "default" / "Smileys", skins / skin / "Smileys",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// Mistakes that evaluate without a word but change what the bubble shows.
TEST_F(SkinToolTest, CheckCatchesWhatEvaluatesSilently) {
  WriteFile("quiet", "skin.ini",
            "[Skin]\n"                                    // 1
            "NotifyWndHeight = \"80\"\n"                  // 2
            "NotifyWndStartX = \"10\"\n"                  // 3
            "NotifyWndStartY = \"_NotifyHeight - 4\"\n"   // 4 the one place for it
            "NotifyWndWidth = \"-300\"\n"                 // 5 240 - 300: no width
            "CaptionHeight = \"_NotifyHeight + 12\"\n"    // 6 anchors and moves the bubble
            "SkinBMP = \"skin.bmp\"\n"                     // 7
            "AlphaBlendBackground = 0.8\n"                // 8 a fraction
            "DynamicHeight = 1.5f\n"                      // 9 a fraction with a suffix
            "[Animation]\n"                               // 10
            "GifFrameDelay = 150ms\n"                     // 11 a unit
            "GifFrameDelay=5\n");                         // 12 no blanks around "="
  CopyDefaultFiles(SkinsDir(), "quiet");
  ToolRun run = Tool("skin check quiet");
  EXPECT_EQ(run.status, 1);
  const char* expected[] = {
      "skin.ini:5: NotifyWndWidth gives -300, and with the screen width 240 added the bubble is -60 wide",
      "skin.ini:6: CaptionHeight uses _NotifyHeight, which belongs in NotifyWndStartY only",
      "skin.ini:8: AlphaBlendBackground = 0.8: only the whole number 0 before \".8\" is read",
      "skin.ini:9: DynamicHeight = 1.5f: only the whole number 1 before \".5f\" is read",
      "skin.ini:11: GifFrameDelay = 150ms: only the whole number 150 before \"ms\" is read",
      "skin.ini:12: GifFrameDelay=5: \"=\" must stand between blanks (write \"GifFrameDelay = 5\")",
  };
  for (const char* e : expected) EXPECT_NE(run.out.find(e), std::string::npos) << e << "\n" << run.out;
  EXPECT_EQ(run.out.find("skin.ini:4:"), std::string::npos) << run.out;
}

// What the module reads as meant is not flagged.
TEST_F(SkinToolTest, CheckLeavesSoundSkinsAlone) {
  const std::string longComment = ";" + std::string(126, 'x');  // exactly 127 characters
  WriteFile("sound", "skin.ini",
            "[Skin]\r\n" + longComment + "\r\n" + longComment + "\n" +
                "NotifyWndHeight = \"80\"\r\nNotifyWndStartX = \"10\"\r\nNotifyWndWidth = \"-20\"\r\n"
                "SkinBMP = \"skin.bmp\"\r\nAlphaBlendBackground = 200\r\nDynamicHeight = 1\r\n"
                "[Animation]\r\nGifFrameDelay = 150\r\n");
  CopyDefaultFiles(SkinsDir(), "sound");
  // The bottom anchor comes from a key other than the vertical start: that key is flagged, but
  // the missing vertical start is not, because the anchor puts the bubble on the screen.
  std::ofstream(SkinsDir() / "sound" / "skin.ini", std::ios::binary | std::ios::app)
      << "[Borders]\r\nTop = \"_NotifyHeight\"\r\n";

  // Pictures the device's decoder reads: a 16-bit BMP and one with the 12-byte core header.
  namespace samples = pellix::device::imaging::samples;
  samples::BmpSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.bpp = 16;
  spec.pixels = {0xFFFFFFFFu, 0xFF000000u};
  auto bmp16 = samples::WriteBmp(spec);
  std::string core = "BM";
  auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) core += char((v >> (8 * i)) & 0xFF); };
  auto put16 = [&](uint16_t v) { core += char(v & 0xFF); core += char(v >> 8); };
  put32(14 + 12 + 8); put32(0); put32(14 + 12);
  put32(12); put16(2); put16(1); put16(1); put16(24);
  core += std::string("\xFF\xFF\xFF\x00\x00\x00\x00\x00", 8);  // white, black, row padding
  for (auto [name, bytes] : {std::pair{"skin.bmp", std::string(bmp16.begin(), bmp16.end())},
                             std::pair{"skin.bmp", core}}) {
    WriteFile("sound", name, bytes);
    ToolRun run = Tool("skin check sound");
    EXPECT_EQ(run.out,
              "skin.ini:13: Top uses _NotifyHeight, which belongs in NotifyWndStartY only: here it counts "
              "as 0 and still anchors the bubble by its bottom edge, so the bubble moves up by its height\n"
              "skin \"sound\": 1 problem\n");
  }

  // PNG pictures get the same check: all transparent is an empty shape, white is not.
  auto png = samples::WritePng(2, 2, std::vector<uint32_t>(4, 0x00000000u), true);
  WriteFile("sound", "skin.bmp", std::string(png.begin(), png.end()));
  EXPECT_EQ(Tool("skin check sound").out.find("empty shape"), std::string::npos) << "transparent is white";
  png = samples::WritePng(2, 2, std::vector<uint32_t>(4, 0xFF102030u), false);
  WriteFile("sound", "skin.bmp", std::string(png.begin(), png.end()));
  EXPECT_NE(Tool("skin check sound").out.find("skin.ini:7: SkinBMP: the picture \"skin.bmp\" gives an empty shape"),
            std::string::npos);
}

}  // namespace
