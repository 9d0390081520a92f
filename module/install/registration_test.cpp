// Installing and removing the module in the device's registry: what each export writes, the
// form module and glyph saved before the first installation and kept by later ones, the related
// product's form module that is never kept, removal that restores, and the glyph by resolution.
#include "install/registration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "kernel/registry.h"
#include "resources/resource.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
using Bytes = std::vector<uint8_t>;

// Every value of the registry by root, key and value name (folded), with type and bytes.
using Snapshot = std::map<std::tuple<uint32_t, std::u16string, std::u16string>, std::pair<uint32_t, Bytes>>;

void Collect(Registry& registry, RegistryRoot root, const std::u16string& path, Snapshot& out) {
  if (auto values = registry.Values(root, path))
    for (const RegistryValue& v : *values)
      out[{static_cast<uint32_t>(root), Registry::Fold(path), Registry::Fold(v.name)}] = {v.type, v.data};
  if (auto subkeys = registry.SubKeys(root, path))
    for (const std::u16string& sub : *subkeys) Collect(registry, root, path.empty() ? sub : path + u"\\" + sub, out);
}

Bytes Text(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) out.push_back(static_cast<uint8_t>(c)), out.push_back(static_cast<uint8_t>(c >> 8));
  out.push_back(0), out.push_back(0);
  return out;
}

Bytes Dword(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes Glyph(uint32_t bitmap) {
  Bytes out;
  for (uint32_t w : {32u, bitmap, bitmap, 1u, 0u, 0u, 0u, 0u})
    for (uint8_t b : Dword(w)) out.push_back(b);
  return out;
}

constexpr char16_t kSmsType[] = u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext";
constexpr char16_t kOwnType[] = u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo";
constexpr char16_t kEarlierForms[] = u"\\Windows\\tmail.dll";
const Bytes kEarlierGlyph = {1, 2, 3, 4, 5, 6};

class RegistrationTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  Registry& registry() { return device().Component<Registry>(); }

  Snapshot Everything() {
    Snapshot out;
    for (RegistryRoot root : {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser,
                              RegistryRoot::kLocalMachine, RegistryRoot::kUsers})
      Collect(registry(), root, u"", out);
    return out;
  }

  void Put(RegistryRoot root, std::u16string_view key, std::u16string name, uint32_t type, Bytes data) {
    ASSERT_TRUE(registry().CreateKey(root, key).ok());
    ASSERT_TRUE(registry().SetValue(root, key, RegistryValue{std::move(name), type, std::move(data)}).ok());
  }

  // The Inbox's own SMS message type as the platform ships it.
  void PutPlatformSmsType() {
    Put(RegistryRoot::kCurrentUser, kSmsType, u"DLL", REG_SZ, Text(kEarlierForms));
    Put(RegistryRoot::kCurrentUser, kSmsType, u"GlyphInfo", REG_BINARY, kEarlierGlyph);
  }

  std::optional<RegistryValue> Value(RegistryRoot root, std::u16string_view key, std::u16string_view name) {
    return registry().GetValue(root, key, name);
  }
  std::optional<RegistryValue> Sms(std::u16string_view name) {
    return Value(RegistryRoot::kCurrentUser, kSmsType, name);
  }

  std::u16string OwnPath() {
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(module_, path, MAX_PATH);
    return path;
  }

  HINSTANCE module_ = nullptr;
};

TEST_F(RegistrationTest, RegisterServerWritesExactlyTheInstalledState) {
  PutPlatformSmsType();
  const Snapshot before = Everything();
  ASSERT_EQ(DllRegisterServer(), S_OK);
  Snapshot after = Everything();

  // Every value that changed or appeared, and nothing else.
  const std::u16string clsid = u"{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}";
  const auto F = [](std::u16string_view s) { return Registry::Fold(s); };
  const uint32_t CR = 0, CU = 1, LM = 2;
  Snapshot expected = before;
  expected[{CR, F(u"CLSID\\" + clsid + u"\\InprocServer32"), u""}] = {REG_SZ, Text(u"PellixRule.dll")};
  expected[{CR, F(u"CLSID\\" + clsid + u"\\InprocServer32"), F(u"ThreadingModel")}] = {REG_SZ, Text(u"Free")};
  expected[{LM, F(u"Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules"), F(clsid)}] = {REG_DWORD, Dword(1)};
  expected[{LM, F(u"Software\\Microsoft\\Inbox\\Svc\\SMS\\MsgClasses"), F(u"IPM.SMStext.Ravlo")}] = {REG_DWORD, Dword(1)};
  expected[{CU, F(kOwnType), F(u"DLL")}] = {REG_SZ, Text(OwnPath())};
  expected[{CU, F(kOwnType), F(u"GlyphInfo")}] = {REG_BINARY, Glyph(IDB_GLYPH_LOW)};
  expected[{CU, F(kSmsType), F(u"DLL")}] = {REG_SZ, Text(OwnPath())};
  expected[{CU, F(kSmsType), F(u"GlyphInfo")}] = {REG_BINARY, Glyph(IDB_GLYPH_LOW)};
  expected[{CU, F(kSmsType), F(u"Ravlo_OriginalDLL")}] = {REG_SZ, Text(kEarlierForms)};
  expected[{CU, F(kSmsType), F(u"Ravlo_OriginalGlyphInfo")}] = {REG_BINARY, kEarlierGlyph};
  EXPECT_EQ(after, expected);
  EXPECT_EQ(OwnPath(), u"\\Windows\\PellixRule.dll");

  // Removal gives back the registry as it was, apart from keys it leaves empty.
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(Everything(), before);
  EXPECT_FALSE(registry().KeyExists(RegistryRoot::kClassesRoot, u"CLSID\\" + clsid));
  EXPECT_FALSE(registry().KeyExists(RegistryRoot::kCurrentUser, kOwnType));
}

TEST_F(RegistrationTest, RegisteringTwiceKeepsWhatTheFirstSaved) {
  PutPlatformSmsType();
  ASSERT_EQ(DllRegisterServer(), S_OK);
  const Snapshot once = Everything();
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Everything(), once);

  // Even when the glyph changed in between, the one saved first stays saved.
  Put(RegistryRoot::kCurrentUser, kSmsType, u"GlyphInfo", REG_BINARY, {9, 9});
  ASSERT_EQ(DllRegisterForms(), S_OK);
  EXPECT_EQ(Sms(u"Ravlo_OriginalGlyphInfo")->data, kEarlierGlyph);
  EXPECT_EQ(Sms(u"Ravlo_OriginalDLL")->data, Text(kEarlierForms));
  EXPECT_EQ(Sms(u"GlyphInfo")->data, Glyph(IDB_GLYPH_LOW));
}

TEST_F(RegistrationTest, RemovingTwiceChangesNothingTheSecondTime) {
  PutPlatformSmsType();
  const Snapshot before = Everything();
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(Everything(), before);
  EXPECT_EQ(Sms(u"DLL")->data, Text(kEarlierForms));
  EXPECT_EQ(Sms(u"GlyphInfo")->type, static_cast<uint32_t>(REG_BINARY));
  EXPECT_FALSE(Sms(u"Ravlo_OriginalDLL"));
  EXPECT_FALSE(Sms(u"Ravlo_OriginalGlyphInfo"));
}

TEST_F(RegistrationTest, RulesExportsTouchOnlyTheRules) {
  PutPlatformSmsType();
  const Snapshot before = Everything();
  ASSERT_EQ(DllRegisterRules(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(kEarlierForms));
  EXPECT_FALSE(registry().KeyExists(RegistryRoot::kCurrentUser, kOwnType));
  EXPECT_TRUE(Value(RegistryRoot::kLocalMachine, u"Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules",
                    u"{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}"));
  ASSERT_EQ(DllUnregisterRules(), S_OK);
  EXPECT_EQ(Everything(), before);
}

TEST_F(RegistrationTest, RelatedProductsFormModuleIsReplacedButNeverSaved) {
  // The related product was installed over the platform's form module and saved it.
  Put(RegistryRoot::kCurrentUser, kSmsType, u"DLL", REG_SZ, Text(u"\\Windows\\RavloRule.dll"));
  Put(RegistryRoot::kCurrentUser, kSmsType, u"Ravlo_OriginalDLL", REG_SZ, Text(kEarlierForms));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(OwnPath()));
  EXPECT_EQ(Sms(u"Ravlo_OriginalDLL")->data, Text(kEarlierForms));
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(kEarlierForms));
  EXPECT_FALSE(Sms(u"Ravlo_OriginalDLL"));
}

TEST_F(RegistrationTest, RelatedProductWithNothingSavedLeavesNothingToRestore) {
  Put(RegistryRoot::kCurrentUser, kSmsType, u"DLL", REG_SZ, Text(u"\\Windows\\RavloRule.dll"));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_FALSE(Sms(u"Ravlo_OriginalDLL"));
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(OwnPath()));
}

TEST_F(RegistrationTest, FormModulePathsBeyondTheSaveBufferAreNotSaved) {
  // 50 characters and the terminator need 102 bytes: more than the 100 the save reads.
  const std::u16string longPath = u"\\Program Files\\Some Vendor\\Forms\\" + std::u16string(17, u'x');
  ASSERT_EQ(longPath.size(), 50u);
  Put(RegistryRoot::kCurrentUser, kSmsType, u"DLL", REG_SZ, Text(longPath));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_FALSE(Sms(u"Ravlo_OriginalDLL"));
  EXPECT_EQ(Sms(u"DLL")->data, Text(OwnPath()));

  // 49 characters fit.
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  Put(RegistryRoot::kCurrentUser, kSmsType, u"DLL", REG_SZ, Text(longPath.substr(1)));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Sms(u"Ravlo_OriginalDLL")->data, Text(longPath.substr(1)));
}

TEST_F(RegistrationTest, ANewImagesOwnFormModuleIsSavedAndRestored) {
  EXPECT_EQ(Sms(u"DLL")->data, Text(u"\\Windows\\smsforms.dll"));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Sms(u"Ravlo_OriginalDLL")->data, Text(u"\\Windows\\smsforms.dll"));
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(u"\\Windows\\smsforms.dll"));
}

TEST_F(RegistrationTest, WithNoEarlierSmsTypeThereIsNothingToSave) {
  ASSERT_TRUE(registry().DeleteKey(RegistryRoot::kCurrentUser, kSmsType).ok());
  // The own type key makes its parent, which then gets the module as its form module.
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Sms(u"DLL")->data, Text(OwnPath()));
  EXPECT_EQ(Sms(u"GlyphInfo")->data, Glyph(IDB_GLYPH_LOW));
  EXPECT_FALSE(Sms(u"Ravlo_OriginalDLL"));
  EXPECT_FALSE(Sms(u"Ravlo_OriginalGlyphInfo"));
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_FALSE(registry().KeyExists(RegistryRoot::kCurrentUser, kOwnType));
  EXPECT_EQ(Sms(u"GlyphInfo")->data, Glyph(IDB_GLYPH_LOW));
}

TEST_F(RegistrationTest, DisplayDriversResolutionWinsOverTheScreens) {
  PutPlatformSmsType();
  // The image states its 96 dots per inch; a driver that says 192 decides.
  EXPECT_EQ(Value(RegistryRoot::kLocalMachine, u"Drivers\\Display\\GPE", u"LogicalPixelsY")->data, Dword(96));
  Put(RegistryRoot::kLocalMachine, u"Drivers\\Display\\GPE", u"LogicalPixelsY", REG_DWORD, Dword(192));
  WriteGlyphInfo();
  EXPECT_EQ(Sms(u"GlyphInfo")->data, Glyph(IDB_GLYPH_HIGH));
  // A value that is not four bytes is not a resolution; the screen's own (96) holds.
  Put(RegistryRoot::kLocalMachine, u"Drivers\\Display\\GPE", u"LogicalPixelsY", REG_BINARY, {192, 0});
  WriteGlyphInfo();
  EXPECT_EQ(Sms(u"GlyphInfo")->data, Glyph(IDB_GLYPH_LOW));
  EXPECT_EQ(Sms(u"Ravlo_OriginalGlyphInfo")->data, kEarlierGlyph);
}

// The glyph follows the screen's resolution, from the image's profile.
class GlyphByResolutionTest : public RegistrationTest,
                              public ::testing::WithParamInterface<std::pair<int, UINT>> {
 protected:
  Profile MakeProfile() const override {
    Profile p;
    p.dpi = GetParam().first;
    return p;
  }
};

TEST_P(GlyphByResolutionTest, PicksTheBitmapForTheResolution) {
  WriteGlyphInfo();
  EXPECT_EQ(Value(RegistryRoot::kCurrentUser, kOwnType, u"GlyphInfo")->data, Glyph(GetParam().second));
  // Without the driver's value, the screen's device context tells the same.
  ASSERT_TRUE(registry().DeleteKey(RegistryRoot::kLocalMachine, u"Drivers\\Display\\GPE").ok());
  Put(RegistryRoot::kCurrentUser, kOwnType, u"GlyphInfo", REG_BINARY, {});
  WriteGlyphInfo();
  EXPECT_EQ(Value(RegistryRoot::kCurrentUser, kOwnType, u"GlyphInfo")->data, Glyph(GetParam().second));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, GlyphByResolutionTest,
                         ::testing::Values(std::pair{96, IDB_GLYPH_LOW}, std::pair{130, IDB_GLYPH_128},
                                           std::pair{131, IDB_GLYPH_128}, std::pair{132, IDB_GLYPH_132},
                                           std::pair{192, IDB_GLYPH_HIGH}),
                         [](const auto& info) { return std::to_string(info.param.first) + "dpi"; });

TEST(GlyphInfo, ThresholdsAndLayout) {
  EXPECT_EQ(GlyphBitmapForDpi(127), static_cast<UINT>(IDB_GLYPH_LOW));
  EXPECT_EQ(GlyphBitmapForDpi(128), static_cast<UINT>(IDB_GLYPH_128));
  EXPECT_EQ(GlyphBitmapForDpi(191), static_cast<UINT>(IDB_GLYPH_132));
  // No screen: the resolution is -1, which compares as the largest.
  EXPECT_EQ(GlyphBitmapForDpi(static_cast<DWORD>(-1)), static_cast<UINT>(IDB_GLYPH_HIGH));
  BYTE info[GLYPH_INFO_SIZE];
  BuildGlyphInfo(126, info);
  EXPECT_EQ(Bytes(info, info + GLYPH_INFO_SIZE), Glyph(126));
}

}  // namespace
