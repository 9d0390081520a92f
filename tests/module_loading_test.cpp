// The built PellixRule.dll, installed into an image as the Inbox finds it, loaded by the
// device's loader: its resources come through its instance handle and match the copy that
// tests link statically.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kernel/module_loader.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

class PellixRuleLoadingTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    auto folder = HostPath(u"\\Windows");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(PELLIX_MODULE_PATH, folder / "PellixRule.dll");
  }

  static std::string Bytes(HMODULE module, WORD id, LPCWSTR type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCE(id), type);
    if (!found) return "(missing)";
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  }
};

TEST_F(PellixRuleLoadingTest, LoadsFromWindowsAndFreesAtTheLastReference) {
  HMODULE module = LoadLibraryW(u"\\Windows\\PellixRule.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryW(u"pellixrule.dll"), module);
  EXPECT_NE(GetProcAddressW(module, u"PellixGetResources"), nullptr);
  EXPECT_EQ(GetProcAddressW(module, u"NoSuchExport"), nullptr);
  WCHAR path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\PellixRule.dll");
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleW(u"PellixRule.dll"), module);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleW(u"PellixRule.dll"), nullptr);
}

TEST_F(PellixRuleLoadingTest, ResourcesResolveThroughTheLoadedInstance) {
  HINSTANCE module = LoadLibraryW(u"PellixRule.dll");
  ASSERT_NE(module, nullptr);
  WCHAR page[1024];
  int length = LoadStringW(module, 112, page, 1024);
  ASSERT_GT(length, 0);
  EXPECT_NE(std::u16string(page).find(u"PictureID"), std::u16string::npos);
  LPCWSTR text = nullptr;
  EXPECT_EQ(LoadStringW(module, 112, reinterpret_cast<LPWSTR>(&text), 0), length);
  EXPECT_EQ(std::memcmp(text, page, size_t(length) * sizeof(WCHAR)), 0);
  EXPECT_NE(LoadIconW(module, MAKEINTRESOURCE(114)), nullptr);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCE(107), RT_MENU), nullptr);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCE(121), RT_BITMAP), nullptr);
  FreeLibrary(module);
}

TEST_F(PellixRuleLoadingTest, TheSharedAndTheStaticBuildCarryTheSameResources) {
  HMODULE shared = LoadLibraryW(u"\\Windows\\PellixRule.dll");
  ASSERT_NE(shared, nullptr);
  // The static copy, attached under another name so that both are present at once.
  auto attached = pellix::device::Modules().AttachStatic(
      {.path = u"\\Windows\\LinkedRule.dll", .resources = PellixGetResources()});
  ASSERT_TRUE(attached.ok());
  HMODULE linked = *attached;
  ASSERT_NE(linked, shared);
  struct Resource {
    WORD id;
    LPCWSTR type;
  };
  const Resource resources[] = {
      {107, RT_MENU},   {108, RT_MENU},   {109, RT_MENU},   {116, RT_MENU},
      {118, RT_MENU},   {120, RT_MENU},   {110, RT_STRING}, {112, RT_STRING},
      {121, RT_BITMAP}, {124, RT_BITMAP}, {125, RT_BITMAP}, {126, RT_BITMAP},
      {127, RT_BITMAP}, {114, RT_GROUP_ICON},
  };
  for (const auto& r : resources) {
    std::string from_shared = Bytes(shared, r.id, r.type);
    EXPECT_NE(from_shared, "(missing)") << r.id;
    EXPECT_EQ(from_shared, Bytes(linked, r.id, r.type)) << r.id;
    // Each comes from its own copy of the module.
    EXPECT_NE(FindResourceW(shared, MAKEINTRESOURCE(r.id), r.type),
              FindResourceW(linked, MAKEINTRESOURCE(r.id), r.type));
  }
  FreeLibrary(shared);
}

}  // namespace
