// The module's resources as module code sees them: through its instance handle, with the
// module linked statically and attached to the device.
#include <gtest/gtest.h>

#include <string>

#include "kernel/icons.h"
#include "kernel/module_resources.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

using pellix::device::MenuTemplateItem;

// "Text=id" items, pop-ups as "Text{...}", separators as "-", joined by "|" and ",".
std::string Describe(const std::vector<MenuTemplateItem>& items, const char* separator) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += separator;
    std::string text(item.text.begin(), item.text.end());
    if (item.flags & pellix::device::menu_flags::kPopup)
      out += text + "{" + Describe(item.children, ",") + "}";
    else if (item.is_separator())
      out += "-";
    else
      out += text + "=" + std::to_string(item.id);
  }
  return out;
}

class ModuleResourcesTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    instance_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(instance_, nullptr);
  }

  std::string Menu(WORD id) {
    HRSRC found = FindResourceW(instance_, MAKEINTRESOURCE(id), RT_MENU);
    if (!found) return "(missing)";
    auto data = static_cast<const uint8_t*>(LockResource(LoadResource(instance_, found)));
    auto items = pellix::device::ParseMenuTemplate({data, SizeofResource(instance_, found)});
    return items.ok() ? Describe(*items, "|") : "(malformed)";
  }

  HINSTANCE instance_ = nullptr;
};

TEST_F(ModuleResourcesTest, SoftKeyMenusHaveALeftKeyAndAMenuPopup) {
  EXPECT_EQ(Menu(107),
            "Mark read=40003|Menu{Reply=40001,Forward=40007,Call Sender=40002,Dismiss=40005,"
            "Delete=40004}");
  EXPECT_EQ(Menu(108), "Delete=40004|Menu{Dismiss=40005,Mark read=40003}");
  EXPECT_EQ(Menu(118),
            "Reply=40001|Menu{Mark read=40003,Forward=40007,Call Sender=40002,Dismiss=40005,"
            "Delete=40004}");
  EXPECT_EQ(Menu(109).rfind("Dismiss=40005|Menu{", 0), 0u);
}

std::u16string ItemText(HMENU menu, int position) {
  WCHAR text[64] = {};
  GetMenuStringW(menu, UINT(position), text, 64, MF_BYPOSITION);
  return text;
}

TEST_F(ModuleResourcesTest, LoadMenuBuildsTheWindowManagersMenus) {
  HMENU bar = LoadMenuW(instance_, MAKEINTRESOURCE(118));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(GetMenuItemID(bar, 0), 40001u);
  EXPECT_EQ(ItemText(bar, 0), u"Reply");
  EXPECT_EQ(ItemText(bar, 1), u"Menu");
  HMENU popup = GetSubMenu(bar, 1);
  ASSERT_NE(popup, nullptr);
  const UINT ids[] = {40003, 40007, 40002, 40005, 40004};
  const char16_t* texts[] = {u"Mark read", u"Forward", u"Call Sender", u"Dismiss", u"Delete"};
  ASSERT_EQ(GetMenuItemCount(popup), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(GetMenuItemID(popup, i), ids[i]) << i;
    EXPECT_EQ(ItemText(popup, i), texts[i]) << i;
  }
  EXPECT_TRUE(DestroyMenu(bar));

  // The number menu is tracked as the first pop-up of its resource.
  HMENU number = LoadMenuW(instance_, MAKEINTRESOURCE(116));
  ASSERT_NE(number, nullptr);
  HMENU first = GetSubMenu(number, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetMenuItemCount(first), 3);
  EXPECT_EQ(GetMenuItemID(first, 2), 40013u);
  DestroyMenu(number);

  // Menu 109 keeps its separator.
  HMENU dismiss = LoadMenuW(instance_, MAKEINTRESOURCE(109));
  ASSERT_NE(dismiss, nullptr);
  EXPECT_EQ(GetMenuState(GetSubMenu(dismiss, 1), 2, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
  DestroyMenu(dismiss);

  SetLastError(0);
  EXPECT_EQ(LoadMenuW(instance_, MAKEINTRESOURCE(110)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(ModuleResourcesTest, TrackedMenusAreTheFirstPopupOfTheirResource) {
  EXPECT_EQ(Menu(116), "Number{Send SMS=40014,Call=40012,Save to contacts=40013}");
  EXPECT_EQ(Menu(120), "Context{Select All=40015,Copy=40016}");
}

// The built-in page templates, character for character: two blanks after "table" in 110, a blank
// after "width=" in 112, "%%" for each percent sign and "%s%s%s" where the message goes.
TEST_F(ModuleResourcesTest, PageTemplatesHoldTheirExactTexts) {
  const std::u16string k110 =
      u"<html><body><table  border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%%\"><tr>"
      u"<td width=\"100%%\" align=\"%alignment%\" style=\"height: 29px; font-size: 8pt; "
      u"font-family: %DefFontName%; text-align: %textalignment%;\"><p>%s%s%s</p></td></tr>"
      u"</table></body></html>";
  const std::u16string k112 =
      u"<html><body><table border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%%\"><tr>"
      u"<td width= \"5%%\"><p align=\"center\"><img src=\"PictureID\" /></p></td>"
      u"<td width=\"95%%\" align=\"%alignment%\" style=\"height: 29px; font-size: 8pt; "
      u"font-family: %DefFontName%; text-align: %textalignment%;\"><p>%s%s%s</p></td></tr>"
      u"</table></body></html>";
  for (auto [id, expected] : {std::pair{110u, &k110}, std::pair{112u, &k112}}) {
    LPCWSTR text = nullptr;
    int length = LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0) << id;
    EXPECT_EQ(std::u16string(text, size_t(length)), *expected) << id;
  }
}

TEST_F(ModuleResourcesTest, BitmapsHaveTheirSizes) {
  struct Case {
    WORD id;
    int width, height, bits;
  };
  const Case cases[] = {
      {121, 24, 23, 8}, {124, 16, 16, 24}, {125, 20, 20, 24}, {126, 24, 24, 24}, {127, 32, 32, 24},
  };
  for (const auto& c : cases) {
    HRSRC found = FindResourceW(instance_, MAKEINTRESOURCE(c.id), RT_BITMAP);
    ASSERT_NE(found, nullptr) << c.id;
    auto data = static_cast<const uint8_t*>(LockResource(LoadResource(instance_, found)));
    auto image = pellix::device::ParseDib({data, SizeofResource(instance_, found)});
    ASSERT_TRUE(image.ok()) << c.id;
    EXPECT_EQ(image->width, c.width) << c.id;
    EXPECT_EQ(image->height, c.height) << c.id;
    EXPECT_EQ(image->bits_per_pixel, c.bits) << c.id;
  }
}

TEST_F(ModuleResourcesTest, LoadImageMakesABitmapOfTheNaturalSize) {
  HBITMAP button = static_cast<HBITMAP>(
      LoadImageW(instance_, MAKEINTRESOURCE(121), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  ASSERT_NE(button, nullptr);
  BITMAP info = {};
  ASSERT_NE(GetObjectW(button, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, 24);
  EXPECT_EQ(info.bmHeight, 23);
  ASSERT_NE(info.bmBits, nullptr);
  // The middle of the button is the smiley's face: RGB(255, 204, 0), stored blue first in
  // bottom-up rows.
  auto bits = static_cast<const uint8_t*>(info.bmBits);
  const uint8_t* centre = bits + (23 - 1 - 11) * info.bmWidthBytes + 12 * (info.bmBitsPixel / 8);
  EXPECT_EQ(centre[0], 0);
  EXPECT_EQ(centre[1], 204);
  EXPECT_EQ(centre[2], 255);
  DeleteObject(button);

  // A size asked for scales the picture.
  HBITMAP large = static_cast<HBITMAP>(
      LoadImageW(instance_, MAKEINTRESOURCE(124), IMAGE_BITMAP, 32, 48, 0));
  ASSERT_NE(large, nullptr);
  ASSERT_NE(GetObjectW(large, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, 32);
  EXPECT_EQ(info.bmHeight, 48);
  DeleteObject(large);

  EXPECT_EQ(LoadImageW(instance_, MAKEINTRESOURCE(122), IMAGE_BITMAP, 0, 0, 0), nullptr);
  EXPECT_EQ(LoadImageW(instance_, u"named", IMAGE_BITMAP, 0, 0, 0), nullptr);
  EXPECT_NE(LoadBitmapW(instance_, MAKEINTRESOURCE(127)), nullptr);
}

TEST_F(ModuleResourcesTest, TheNotificationIconHasATransparentBorder) {
  HICON icon = LoadIconW(instance_, MAKEINTRESOURCE(114));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconW(instance_, MAKEINTRESOURCE(114)), icon);
  auto picture = pellix::device::IconFromHandle(icon);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 16);
  EXPECT_EQ(picture->height, 16);
  EXPECT_EQ(picture->pixels.front() >> 24, 0u);                 // corner: transparent
  EXPECT_EQ(picture->pixels[8 * 16 + 8] >> 24, 0xFFu);          // centre: opaque
  EXPECT_EQ(LoadIconW(instance_, MAKEINTRESOURCE(115)), nullptr);
}

TEST_F(ModuleResourcesTest, TheStaticModuleAnswersToItsName) {
  EXPECT_EQ(GetModuleHandleW(u"PellixRule.dll"), instance_);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\PellixRule.dll"), instance_);
  EXPECT_EQ(pellix::AttachStaticPellixRule(), instance_);
  WCHAR path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(instance_, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\PellixRule.dll");
}

}  // namespace
