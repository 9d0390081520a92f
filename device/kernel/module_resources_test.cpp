#include "kernel/module_resources.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix::device {
namespace {

// Little-endian byte builder for hand-made resources.
struct Bytes {
  std::vector<uint8_t> data;
  Bytes& W(uint16_t v) {
    data.push_back(uint8_t(v));
    data.push_back(uint8_t(v >> 8));
    return *this;
  }
  Bytes& D(uint32_t v) { return W(uint16_t(v)).W(uint16_t(v >> 16)); }
  Bytes& B(std::initializer_list<uint8_t> bytes) {
    data.insert(data.end(), bytes);
    return *this;
  }
  Bytes& T(std::u16string_view text) {
    for (char16_t c : text) W(c);
    return W(0);
  }
};

TEST(MenuTemplate, ParsesNestedPopupsFlagsAndSeparators) {
  Bytes b;
  b.W(0).W(0);                                   // header
  b.W(0x0001).W(40003).T(u"Mark read");          // grayed item
  b.W(0x0090).T(u"Menu");                        // last top-level item: a pop-up
  b.W(0x0010).T(u"More");                        //   nested pop-up
  b.W(0x0088).W(7).T(u"Deep");                   //     checked, last
  b.W(0x0000).W(0).T(u"");                       //   separator
  b.W(0x0080).W(40004).T(u"Delete");             //   last
  auto items = ParseMenuTemplate(b.data);
  ASSERT_TRUE(items.ok()) << items.error().message;
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ((*items)[0].text, u"Mark read");
  EXPECT_EQ((*items)[0].id, 40003);
  EXPECT_EQ((*items)[0].flags, 0x0001);
  const auto& menu = (*items)[1];
  EXPECT_EQ(menu.flags, menu_flags::kPopup);  // MF_END is not kept
  ASSERT_EQ(menu.children.size(), 3u);
  EXPECT_EQ(menu.children[0].text, u"More");
  ASSERT_EQ(menu.children[0].children.size(), 1u);
  EXPECT_EQ(menu.children[0].children[0].flags, menu_flags::kChecked);
  EXPECT_TRUE(menu.children[1].is_separator());
  EXPECT_FALSE(menu.children[2].is_separator());
  EXPECT_EQ(menu.children[2].id, 40004);
}

TEST(MenuTemplate, RefusesMalformedTemplates) {
  std::vector<uint8_t> deep = Bytes().W(0).W(0).data;
  for (int i = 0; i <= kMaxMenuDepth; ++i) deep.insert(deep.end(), {0x10, 0, 'p', 0, 0, 0});
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"header only", Bytes().W(0).W(0).data},
      {"wrong version", Bytes().W(1).W(0).W(0x80).W(1).T(u"a").data},
      {"header extension past the end", Bytes().W(0).W(50).data},
      {"no item marked as the end", Bytes().W(0).W(0).W(0).W(1).T(u"a").data},
      {"text without terminator", Bytes().W(0).W(0).W(0x80).W(1).W('a').data},
      {"odd byte", Bytes().W(0).W(0).W(0x80).W(1).B({'a'}).data},
      {"pop-up without items", Bytes().W(0).W(0).W(0x90).T(u"p").data},
      {"too deep", deep},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParseMenuTemplate(c.data).ok()) << c.what;
}

// Records what BuildMenu asks for; fails the call numbered `fail_at` when set.
class RecordingSink : public MenuSink {
 public:
  std::vector<std::string> calls;
  int fail_at = -1;
  int next = 0;
  std::vector<int> destroyed;

  void* CreateBar() override { return Make("bar"); }
  void* CreatePopup() override { return Make("popup"); }
  bool AppendItem(void* menu, uint16_t flags, uint16_t id, const std::u16string& text) override {
    return Log("item " + Name(menu) + " " + std::to_string(flags) + " " + std::to_string(id) + " " +
               std::string(text.begin(), text.end()));
  }
  bool AppendPopup(void* menu, void* popup, uint16_t, const std::u16string& text) override {
    return Log("popup " + Name(menu) + " <- " + Name(popup) + " " + std::string(text.begin(), text.end()));
  }
  bool AppendSeparator(void* menu) override { return Log("separator " + Name(menu)); }
  void Destroy(void* menu) override { destroyed.push_back(int(reinterpret_cast<uintptr_t>(menu))); }

 private:
  void* Make(const std::string& kind) {
    if (!Log(kind)) return nullptr;
    return reinterpret_cast<void*>(uintptr_t(++next));
  }
  bool Log(std::string call) {
    if (int(calls.size()) == fail_at) return false;
    calls.push_back(std::move(call));
    return true;
  }
  static std::string Name(void* menu) { return "#" + std::to_string(reinterpret_cast<uintptr_t>(menu)); }
};

std::vector<MenuTemplateItem> SoftKeyMenu() {
  MenuTemplateItem left{0, 40003, u"Mark read", {}};
  MenuTemplateItem popup{menu_flags::kPopup, 0, u"Menu",
                         {{0, 40001, u"Reply", {}}, {0, 0, u"", {}}, {0, 40004, u"Delete", {}}}};
  return {left, popup};
}

TEST(BuildMenu, BuildsPopupsBeforeAppendingThem) {
  RecordingSink sink;
  void* bar = BuildMenu(SoftKeyMenu(), sink);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bar), 1u);
  const std::vector<std::string> expected = {
      "bar",
      "item #1 0 40003 Mark read",
      "popup",
      "item #2 0 40001 Reply",
      "separator #2",
      "item #2 0 40004 Delete",
      "popup #1 <- #2 Menu",
  };
  EXPECT_EQ(sink.calls, expected);
  EXPECT_TRUE(sink.destroyed.empty());
}

TEST(BuildMenu, AFailureDestroysWhatWasMade) {
  // Fail at each call in turn: whatever was made is destroyed and the result is null.
  for (int fail_at = 0; fail_at < 7; ++fail_at) {
    RecordingSink sink;
    sink.fail_at = fail_at;
    EXPECT_EQ(BuildMenu(SoftKeyMenu(), sink), nullptr) << fail_at;
    // The bar (1) goes whenever it was made; the pop-up (2) whenever it was made but not
    // yet appended to the bar.
    std::vector<int> expected;
    if (fail_at >= 3 && fail_at < 6) expected.push_back(2);
    if (fail_at == 6) expected.push_back(2);
    if (fail_at >= 1) expected.push_back(1);
    EXPECT_EQ(sink.destroyed, expected) << fail_at;
  }
}

// A DIB with a 40-byte header; `height` negative for top-down rows.
Bytes DibHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                uint32_t colours = 0) {
  Bytes b;
  b.D(40).D(uint32_t(width)).D(uint32_t(height)).W(1).W(bits).D(compression).D(0).D(0).D(0);
  b.D(colours).D(0);
  return b;
}

TEST(Dib, DecodesEveryDepthToTopDownArgb) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    int width, height;
    std::vector<uint32_t> pixels;
  };
  std::vector<Case> cases;
  {
    // 1 bit, 3 x 2, bottom-up: bottom row 1 0 1, top row 0 1 0. Colours: 0 black, 1 red.
    auto b = DibHeader(3, 2, 1, 0, 2);
    b.B({0, 0, 0, 0, 0, 0, 0xFF, 0});
    b.B({0b10100000, 0, 0, 0}).B({0b01000000, 0, 0, 0});
    cases.push_back({"1 bit", b.data, 3, 2,
                     {0xFF000000, 0xFFFF0000, 0xFF000000, 0xFFFF0000, 0xFF000000, 0xFFFF0000}});
  }
  {
    // 4 bits, 3 x 1: indices 2, 1, 0 with a three-colour table.
    auto b = DibHeader(3, 1, 4, 0, 3);
    b.B({0x10, 0x20, 0x30, 0}).B({0x40, 0x50, 0x60, 0}).B({0x70, 0x80, 0x90, 0});
    b.B({0x21, 0x00, 0, 0});
    cases.push_back({"4 bits", b.data, 3, 1, {0xFF908070, 0xFF605040, 0xFF302010}});
  }
  {
    // 8 bits, 2 x 1, an index beyond the table reads as black.
    auto b = DibHeader(2, 1, 8, 0, 1);
    b.B({1, 2, 3, 0}).B({0, 9, 0, 0});
    cases.push_back({"8 bits", b.data, 2, 1, {0xFF030201, 0xFF000000}});
  }
  {
    // 16 bits 5-5-5: pure red, pure blue.
    auto b = DibHeader(2, 1, 16);
    b.W(0x7C00).W(0x001F);
    cases.push_back({"16 bits", b.data, 2, 1, {0xFFFF0000, 0xFF0000FF}});
  }
  {
    // 24 bits, 1 x 2, top-down: first row stored first. Rows pad to 4 bytes.
    auto b = DibHeader(1, -2, 24);
    b.B({1, 2, 3, 0}).B({4, 5, 6, 0});
    cases.push_back({"24 bits top-down", b.data, 1, 2, {0xFF030201, 0xFF060504}});
  }
  {
    auto b = DibHeader(1, 2, 24);
    b.B({1, 2, 3, 0}).B({4, 5, 6, 0});
    cases.push_back({"24 bits bottom-up", b.data, 1, 2, {0xFF060504, 0xFF030201}});
  }
  {
    // 32 bits with alpha somewhere keeps it; all-zero alpha means opaque.
    auto b = DibHeader(2, 1, 32);
    b.B({1, 2, 3, 0x80}).B({4, 5, 6, 0});
    cases.push_back({"32 bits with alpha", b.data, 2, 1, {0x80030201, 0x00060504}});
    auto c = DibHeader(2, 1, 32);
    c.B({1, 2, 3, 0}).B({4, 5, 6, 0});
    cases.push_back({"32 bits without alpha", c.data, 2, 1, {0xFF030201, 0xFF060504}});
  }
  {
    // 32 bits with bit fields (masks after the header): blue in the high byte.
    auto b = DibHeader(1, 1, 32, 3);
    b.D(0x0000FF00).D(0x00FF0000).D(0xFF000000);
    b.B({0, 0x11, 0x22, 0x33});
    cases.push_back({"32 bits bit fields", b.data, 1, 1, {0xFF112233}});
  }
  for (const auto& c : cases) {
    auto image = ParseDib(c.data);
    ASSERT_TRUE(image.ok()) << c.what << ": " << image.error().message;
    EXPECT_EQ(image->width, c.width) << c.what;
    EXPECT_EQ(image->height, c.height) << c.what;
    EXPECT_EQ(image->pixels, c.pixels) << c.what;
  }
}

TEST(Dib, RefusesWhatItCannotReadSafely) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  auto with = [](Bytes b, std::initializer_list<uint8_t> tail) { return b.B(tail).data; };
  const Case cases[] = {
      {"empty", {}},
      {"short header", std::vector<uint8_t>(39, 0)},
      {"header size past the data", Bytes().D(400).D(1).D(1).W(1).W(24).D(0).D(0).D(0).D(0).D(0).D(0).data},
      {"truncated pixels", with(DibHeader(2, 2, 24), {1, 2, 3, 4, 5, 6, 0, 0})},
      {"zero width", with(DibHeader(0, 1, 24), {0, 0, 0, 0})},
      {"zero height", DibHeader(1, 0, 24).data},
      {"too wide", with(DibHeader(kMaxDibSide + 1, 1, 1), {})},
      {"too many pixels", DibHeader(4096, 4096, 1).data},
      {"two planes", Bytes().D(40).D(1).D(1).W(2).W(24).D(0).D(0).D(0).D(0).D(0).D(0).B({0, 0, 0, 0}).data},
      {"odd depth", with(DibHeader(1, 1, 7), {0, 0, 0, 0})},
      {"run-length compressed", with(DibHeader(1, 1, 8, 1), {0, 0, 0, 0})},
      {"colour table too large", with(DibHeader(1, 1, 8, 0, 300), {})},
      {"truncated colour table", with(DibHeader(1, 1, 8, 0, 4), {0, 0, 0, 0})},
      {"bit fields without masks", with(DibHeader(1, 1, 32, 3), {0, 0})},
      {"most negative height", DibHeader(1, INT32_MIN, 24).data},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParseDib(c.data).ok()) << c.what;
}

TEST(Dib, ScalesByNearestNeighbour) {
  DibImage image;
  image.width = 2;
  image.height = 1;
  image.pixels = {1, 2};
  DibImage scaled = ScaleDib(image, 4, 2);
  EXPECT_EQ(scaled.pixels, (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2}));
  DibImage shrunk = ScaleDib(scaled, 1, 1);
  EXPECT_EQ(shrunk.pixels, std::vector<uint32_t>{1});
}

}  // namespace
}  // namespace pellix::device
