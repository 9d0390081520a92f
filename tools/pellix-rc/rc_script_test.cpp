#include "rc_script.h"

#include <gtest/gtest.h>

namespace pellix::rc {
namespace {

std::optional<Script> Parse(const std::string& text, ParseError* error_out = nullptr,
                            const IncludeReader& include = nullptr) {
  ParseError error;
  auto script = ParseScript(text, include, error);
  if (error_out) *error_out = error;
  return script;
}

TEST(ResourceScript, MenuWithPopupSeparatorAndOptions) {
  auto script = Parse(R"(
    // a soft-key menu
    107 MENU DISCARDABLE
    BEGIN
        MENUITEM "Mark read", 40003
        POPUP "Menu"
        {
            MENUITEM "Reply", 0x9C41, GRAYED
            MENUITEM SEPARATOR
            MENUITEM "Delete", 40004, CHECKED, INACTIVE
        }
    END)");
  ASSERT_TRUE(script);
  ASSERT_EQ(script->menus.size(), 1u);
  const Menu& menu = script->menus[0];
  EXPECT_EQ(menu.id, 107);
  ASSERT_EQ(menu.items.size(), 2u);
  EXPECT_EQ(menu.items[0].text, u"Mark read");
  EXPECT_EQ(menu.items[0].id, 40003);
  ASSERT_TRUE(menu.items[1].popup);
  const auto& popup = menu.items[1].children;
  ASSERT_EQ(popup.size(), 3u);
  EXPECT_EQ(popup[0].id, 40001);
  EXPECT_EQ(popup[0].flags, 0x1);
  EXPECT_TRUE(popup[1].separator);
  EXPECT_EQ(popup[2].flags, 0x8 | 0x2);
}

TEST(ResourceScript, StringsTakeQuotesEscapesAndUtf8) {
  auto script = Parse(
      "STRINGTABLE\nBEGIN\n  110 \"a \"\"b\"\" 100%%\"\n  111, \"tab\\there\\n\"\n"
      "  112 \"caf\xC3\xA9 \xF0\x9F\x98\x80\"\nEND\n");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->strings.at(110), u"a \"b\" 100%%");
  EXPECT_EQ(script->strings.at(111), u"tab\there\n");
  EXPECT_EQ(script->strings.at(112), u"caf\u00E9 \U0001F600");
}

TEST(ResourceScript, NamesComeFromDefinesAndIncludedHeaders) {
  auto script = Parse(
      "#include \"resource.h\"\n#define IDS_B 0x70\n"
      "IDM_A MENU BEGIN MENUITEM \"x\", IDC_X END\n"
      "STRINGTABLE BEGIN IDS_B \"b\" END\n"
      "IDB_P BITMAP \"p.bmp\"\n IDI_N ICON \"n.bmp\"\n",
      nullptr, [](const std::string& name) -> std::optional<std::string> {
        if (name != "resource.h") return std::nullopt;
        return "#pragma once\n#define IDM_A 107\n  #define IDC_X 40001L\n#define IDB_P 121\n"
               "#define IDI_N 114 // icon\nint not_a_define;\n";
      });
  ASSERT_TRUE(script);
  EXPECT_EQ(script->menus.at(0).id, 107);
  EXPECT_EQ(script->menus.at(0).items.at(0).id, 40001);
  EXPECT_EQ(script->strings.count(0x70), 1u);
  EXPECT_EQ(script->bitmaps.at(0).id, 121);
  EXPECT_EQ(script->bitmaps.at(0).file, "p.bmp");
  EXPECT_EQ(script->icons.at(0).id, 114);
}

TEST(ResourceScript, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    int line;
    const char* message_part;
  };
  const Case cases[] = {
      {"107 MENU\nBEGIN\n MENUITEM \"a\" 1\nEND", 3, "expected ','"},
      {"107 MENU\nBEGIN\nEND", 3, "at least one item"},
      {"107 MENU\nBEGIN\n MENUITEM \"a\", 1\n", 4, "missing END"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND", 4, "defined twice"},
      {"STRINGTABLE\nBEGIN\n 1 \"open\nEND", 3, "unterminated"},
      {"70000 BITMAP \"a.bmp\"", 1, "out of range"},
      {"\n\nUNKNOWN_NAME MENU BEGIN END", 3, "expected a number"},
      {"5 DIALOG BEGIN END", 1, "unsupported resource type"},
      {"5 MENU BEGIN POPUP \"p\" BEGIN END END", 1, "at least one item"},
      {"STRINGTABLE BEGIN 1 \"\\q\" END", 1, "unknown escape"},
      {"STRINGTABLE BEGIN 1 \"\xFF\" END", 1, "not UTF-8"},
      {"#include \"missing.h\"", 1, "cannot read"},
  };
  for (const auto& c : cases) {
    ParseError error;
    EXPECT_FALSE(Parse(c.text, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message_part), std::string::npos)
        << c.text << " gave: " << error.message;
  }
}

TEST(ResourceScript, DeepNestingIsRefused) {
  std::string text = "1 MENU BEGIN ";
  for (int i = 0; i < 20; ++i) text += "POPUP \"p\" BEGIN ";
  text += "MENUITEM \"x\", 1 ";
  for (int i = 0; i < 20; ++i) text += "END ";
  text += "END";
  ParseError error;
  EXPECT_FALSE(Parse(text, &error));
  EXPECT_NE(error.message.find("too deep"), std::string::npos);
}

TEST(MenuTemplate, LaysOutItemsAsThePlatformStoresThem) {
  Menu menu;
  menu.id = 1;
  MenuItem a;
  a.text = u"A";
  a.id = 0x1234;
  MenuItem popup;
  popup.popup = true;
  popup.text = u"P";
  MenuItem b;
  b.text = u"B";
  b.id = 7;
  b.flags = 0x1;
  MenuItem separator;
  separator.separator = true;
  popup.children = {b, separator};
  menu.items = {a, popup};
  const std::vector<uint8_t> expected = {
      0, 0, 0, 0,                          // header: version 0, no extension
      0x00, 0x00, 0x34, 0x12, 'A', 0, 0, 0,  // flags 0, id, "A"
      0x90, 0x00, 'P', 0, 0, 0,            // MF_POPUP | MF_END, "P" (no id)
      0x01, 0x00, 7, 0, 'B', 0, 0, 0,      // MF_GRAYED, id 7, "B"
      0x80, 0x00, 0, 0, 0, 0,              // separator: MF_END, id 0, empty text
  };
  EXPECT_EQ(MenuTemplate(menu), expected);
}

std::vector<uint8_t> BmpFile(uint16_t bits, uint32_t colours, uint32_t pixels_at,
                             const std::vector<uint8_t>& tail) {
  std::vector<uint8_t> f = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) f.push_back(uint8_t(pixels_at >> (8 * i)));
  std::vector<uint8_t> info(40, 0);
  info[0] = 40;
  info[4] = 1;   // width
  info[8] = 1;   // height
  info[12] = 1;  // planes
  info[14] = uint8_t(bits);
  info[32] = uint8_t(colours);
  f.insert(f.end(), info.begin(), info.end());
  f.insert(f.end(), tail.begin(), tail.end());
  return f;
}

TEST(BitmapResource, DropsTheFileHeaderAndAnyGapBeforeThePixels) {
  // 24 bits, pixels right after the header.
  auto packed = BmpFile(24, 0, 54, {1, 2, 3, 0});
  auto data = BitmapResource(packed);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), 44u);
  EXPECT_EQ((*data)[40], 1);
  // 8 bits with a two-colour table and two bytes of gap before the pixels.
  auto gapped = BmpFile(8, 2, 64, {9, 9, 9, 0, 8, 8, 8, 0, 0xEE, 0xEE, 1, 0, 0, 0});
  data = BitmapResource(gapped);
  ASSERT_TRUE(data);
  ASSERT_EQ(data->size(), 40u + 8 + 4);
  EXPECT_EQ((*data)[48], 1);
}

TEST(BitmapResource, RefusesWhatIsNotABitmapFile) {
  EXPECT_FALSE(BitmapResource({'B', 'M'}));
  auto not_bm = BmpFile(24, 0, 54, {0, 0, 0, 0});
  not_bm[0] = 'X';
  EXPECT_FALSE(BitmapResource(not_bm));
  EXPECT_FALSE(BitmapResource(BmpFile(24, 0, 500, {0, 0, 0, 0})));  // pixels past the end
  EXPECT_FALSE(BitmapResource(BmpFile(8, 0, 54, {})));              // no room for 256 colours
}

TEST(CompileScript, EmitsEveryResourceAndFailsOnMissingFiles) {
  auto script = Parse("1 MENU BEGIN MENUITEM \"a\", 2 END\nSTRINGTABLE BEGIN 3 \"hi\" END\n"
                      "4 BITMAP \"b.bmp\"\n");
  ASSERT_TRUE(script);
  auto bmp = BmpFile(24, 0, 54, {1, 2, 3, 0});
  auto ok = CompileScript(*script, [&](const std::string& name) -> std::optional<std::vector<uint8_t>> {
    if (name == "b.bmp") return bmp;
    return std::nullopt;
  }, "x.rc");
  ASSERT_EQ(ok.error, "");
  EXPECT_NE(ok.source.find("{4, 1, kData"), std::string::npos);   // RT_MENU 1
  EXPECT_NE(ok.source.find("{6, 3, kData"), std::string::npos);   // RT_STRING 3, 4 bytes
  EXPECT_NE(ok.source.find(", 4},"), std::string::npos);
  EXPECT_NE(ok.source.find("{2, 4, kData"), std::string::npos);   // RT_BITMAP 4
  EXPECT_NE(ok.source.find("PellixGetResources"), std::string::npos);

  auto missing = CompileScript(*script, [](const std::string&) { return std::nullopt; }, "x.rc");
  EXPECT_NE(missing.error.find("cannot read b.bmp"), std::string::npos);
}

}  // namespace
}  // namespace pellix::rc
