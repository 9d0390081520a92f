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

TEST_F(ModuleResourcesTest, TrackedMenusAreTheFirstPopupOfTheirResource) {
  EXPECT_EQ(Menu(116), "Number{Send SMS=40014,Call=40012,Save to contacts=40013}");
  EXPECT_EQ(Menu(120), "Context{Select All=40015,Copy=40016}");
}

TEST_F(ModuleResourcesTest, PageTemplatesAreOneLineWithOneMessageSlot) {
  for (UINT id : {110u, 112u}) {
    LPCWSTR text = nullptr;
    int length = LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(length, 0) << id;
    std::u16string page(text, size_t(length));
    EXPECT_EQ(page.rfind(u"<html>", 0), 0u) << id;
    EXPECT_EQ(page.find(u'\n'), std::u16string::npos) << id;
    auto slot = page.find(u"%s%s%s");
    ASSERT_NE(slot, std::u16string::npos) << id;
    EXPECT_EQ(page.find(u"%s", slot + 6), std::u16string::npos) << id;
    for (const char16_t* marker : {u"%alignment%", u"%textalignment%", u"%DefFontName%"})
      EXPECT_NE(page.find(marker), std::u16string::npos) << id;
    EXPECT_EQ(page.find(u"PictureID") != std::u16string::npos, id == 112) << id;
  }
  // The copying form agrees with the pointer form.
  WCHAR buffer[1024];
  LPCWSTR text = nullptr;
  int length = LoadStringW(instance_, 110, reinterpret_cast<LPWSTR>(&text), 0);
  EXPECT_EQ(LoadStringW(instance_, 110, buffer, 1024), length);
  EXPECT_EQ(std::u16string(buffer), std::u16string(text, size_t(length)));
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
