#include "kernel/module_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "kernel/icons.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace pellix::device {
namespace {

class ModuleLoaderTest : public pellix::testing::DeviceTest {
 protected:
  // Installs sample.dll into the image's \Windows\ under `name`.
  void InstallSample(const std::string& name = "Sample.dll") {
    auto folder = HostPath(u"\\Windows");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(PELLIX_SAMPLE_DLL, folder / name,
                               std::filesystem::copy_options::overwrite_existing);
  }

  std::vector<std::string> SampleCalls() {
    std::vector<std::string> calls;
    for (const auto& e : device().journal().EntriesOfKind("debug"))
      if (e.text.rfind("sample: ", 0) == 0) calls.push_back(e.text.substr(8));
    return calls;
  }

  static std::string Handle(HMODULE h) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(h));
    return text;
  }
};

TEST_F(ModuleLoaderTest, LoadsASharedObjectFromTheImageAndCountsReferences) {
  InstallSample();
  HMODULE first = LoadLibraryW(u"sample.dll");  // bare name, other case: \Windows\Sample.dll
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryW(u"\\WINDOWS\\SAMPLE.DLL");
  EXPECT_EQ(second, first);
  EXPECT_EQ(Modules().ReferenceCount(first), 2);
  EXPECT_EQ(GetModuleHandleW(u"SAMPLE.dll"), first);
  EXPECT_EQ(SampleCalls(), std::vector<std::string>{"attach " + Handle(first)});

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleW(u"sample.dll"), first);  // still one reference
  EXPECT_EQ(SampleCalls().size(), 1u);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleW(u"sample.dll"), nullptr);
  EXPECT_EQ(SampleCalls(),
            (std::vector<std::string>{"attach " + Handle(first), "detach " + Handle(first)}));
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  // A new load is a new module with a handle never given before.
  HMODULE again = LoadLibraryW(u"sample.dll");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, first);
  EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModuleLoaderTest, FindsExportsByNameAndByOrdinal) {
  InstallSample();
  HMODULE module = LoadLibraryW(u"\\Windows\\Sample.dll");
  ASSERT_NE(module, nullptr);
  auto by_name = reinterpret_cast<int (*)(int, int)>(GetProcAddressW(module, u"SampleAdd"));
  ASSERT_NE(by_name, nullptr);
  EXPECT_EQ(by_name(2, 3), 5);
  FARPROC by_ordinal = GetProcAddressW(module, reinterpret_cast<LPCWSTR>(ULONG_PTR(5)));
  EXPECT_EQ(reinterpret_cast<void*>(by_ordinal), reinterpret_cast<void*>(by_name));

  struct Miss {
    LPCWSTR name;
    const char* what;
  };
  const Miss misses[] = {
      {u"sampleadd", "names are case-sensitive"},
      {u"Nothing", "no such name"},
      {reinterpret_cast<LPCWSTR>(ULONG_PTR(6)), "no such ordinal"},
      {u"Sample\u00e9", "not ASCII"},
  };
  for (const auto& miss : misses) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddressW(module, miss.name), nullptr) << miss.what;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND)) << miss.what;
  }
  auto engine_miss = Modules().FindExport(module, std::string("Nothing"));
  ASSERT_FALSE(engine_miss.ok());
  EXPECT_EQ(engine_miss.error().code, ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddressW(reinterpret_cast<HMODULE>(0x1234), u"SampleAdd"), nullptr);
  FreeLibrary(module);
}

TEST_F(ModuleLoaderTest, MissingLibrariesFailWithModNotFound) {
  const char16_t* names[] = {u"\\Windows\\absent.dll", u"absent", u"\\Program Files\\x.dll"};
  for (const char16_t* name : names) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(name), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    auto loaded = Modules().Load(name);
    ASSERT_FALSE(loaded.ok());
    EXPECT_EQ(loaded.error().code, ERROR_MOD_NOT_FOUND);
  }
  EXPECT_EQ(LoadLibraryW(u""), nullptr);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"absent.dll"), nullptr);
}

TEST_F(ModuleLoaderTest, AFileThatIsNotASharedObjectIsABadFormat) {
  auto folder = HostPath(u"\\Windows");
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "text.dll") << "not a library";
  auto loaded = Modules().Load(u"text.dll");
  ASSERT_FALSE(loaded.ok());
  EXPECT_EQ(loaded.error().code, 193);  // ERROR_BAD_EXE_FORMAT
}

TEST_F(ModuleLoaderTest, AnEntryPointThatRefusesLeavesNothingLoaded) {
  InstallSample();
  std::ofstream(HostPath(u"\\Windows") / "refuse-attach") << "";
  auto loaded = Modules().Load(u"sample.dll");
  ASSERT_FALSE(loaded.ok());
  EXPECT_EQ(loaded.error().code, ERROR_DLL_INIT_FAILED);
  EXPECT_EQ(GetModuleHandleW(u"sample.dll"), nullptr);
  auto calls = SampleCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("attach ", 0), 0u);
}

TEST_F(ModuleLoaderTest, ModuleFileNameIsTheDevicePath) {
  InstallSample();
  HMODULE module = LoadLibraryW(u"sample");  // no extension: ".dll" is implied
  ASSERT_NE(module, nullptr);
  WCHAR path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(module, path, MAX_PATH), 19u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\sample.dll");
  // A buffer too small gets as much as fits, terminated.
  WCHAR small[5];
  EXPECT_EQ(GetModuleFileNameW(module, small, 5), 5u);
  EXPECT_EQ(std::u16string(small), u"\\Win");
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x77), path, MAX_PATH), 0u);
  // A null module is the host program.
  EXPECT_EQ(GetModuleHandleW(nullptr), ModuleTable::HostHandle());
  EXPECT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  EXPECT_TRUE(DisableThreadLibraryCalls(module));
  FreeLibrary(module);
  EXPECT_FALSE(DisableThreadLibraryCalls(module));
}

int g_builtin_attach = 0;
int g_builtin_detach = 0;
int g_builtin_threads = 0;
BOOL BuiltinEntry(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ++g_builtin_attach;
  if (reason == DLL_PROCESS_DETACH) ++g_builtin_detach;
  if (reason == DLL_THREAD_ATTACH || reason == DLL_THREAD_DETACH) ++g_builtin_threads;
  return TRUE;
}
int Twice(int x) { return 2 * x; }
int Thrice(int x) { return 3 * x; }

TEST_F(ModuleLoaderTest, BuiltinLibrariesAreFoundByNameWithTheirExports) {
  RegisterBuiltinLibrary(u"TestLib.dll",
                         {.exports = {{"Twice", 0, reinterpret_cast<void*>(&Twice)},
                                      {"", 110, reinterpret_cast<void*>(&Thrice)}},
                          .entry = &BuiltinEntry});
  HMODULE module = LoadLibraryW(u"testlib.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(g_builtin_attach, 1);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\TESTLIB"), module);
  EXPECT_EQ(g_builtin_attach, 1);

  auto twice = reinterpret_cast<int (*)(int)>(GetProcAddressW(module, u"Twice"));
  auto thrice = reinterpret_cast<int (*)(int)>(GetProcAddressW(module, MAKEINTRESOURCE(110)));
  ASSERT_TRUE(twice && thrice);
  EXPECT_EQ(twice(4), 8);
  EXPECT_EQ(thrice(4), 12);
  EXPECT_EQ(GetProcAddressW(module, MAKEINTRESOURCE(111)), nullptr);

  Modules().NotifyThreadAttach();
  EXPECT_EQ(g_builtin_threads, 1);
  DisableThreadLibraryCalls(module);
  Modules().NotifyThreadDetach();
  EXPECT_EQ(g_builtin_threads, 1);

  WCHAR path[MAX_PATH];
  GetModuleFileNameW(module, path, MAX_PATH);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\testlib.dll");
  FreeLibrary(module);
  EXPECT_EQ(g_builtin_detach, 0);
  FreeLibrary(module);
  EXPECT_EQ(g_builtin_detach, 1);
  UnregisterBuiltinLibrary(u"testlib.dll");
  EXPECT_EQ(LoadLibraryW(u"testlib.dll"), nullptr);
}

TEST_F(ModuleLoaderTest, BuiltinsLiveOnlyInWindowsAndOnlyWhenPresent) {
  bool present = false;
  RegisterBuiltinLibrary(u"sound.dll", {.present = [&](Device&) { return present; }});
  EXPECT_EQ(LoadLibraryW(u"sound.dll"), nullptr);
  present = true;
  HMODULE module = LoadLibraryW(u"sound.dll");
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryW(u"\\Program Files\\sound.dll"), nullptr);
  FreeLibrary(module);
}

TEST_F(ModuleLoaderTest, AStaticModuleAnswersToItsPathLikeALoadedOne) {
  static const char16_t kText[] = u"static";
  static const PELLIX_RESOURCE kResources[] = {{6, 110, kText, 12}};
  static const PELLIX_RESOURCE_TABLE kTable = {PELLIX_RESOURCE_VERSION, 1, kResources};
  auto attached = Modules().AttachStatic({.path = u"\\Windows\\Linked.dll", .resources = &kTable});
  ASSERT_TRUE(attached.ok());
  HMODULE module = *attached;
  EXPECT_EQ(LoadLibraryW(u"linked.dll"), module);
  EXPECT_EQ(Modules().ReferenceCount(module), 2);
  WCHAR text[16];
  EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(module), 110, text, 16), 6);
  EXPECT_EQ(std::u16string(text), u"static");
}

TEST_F(ModuleLoaderTest, CanonicalPaths) {
  struct Case {
    const char16_t* name;
    const char16_t* path;
  };
  const Case cases[] = {
      {u"a.dll", u"\\Windows\\a.dll"},
      {u"a", u"\\Windows\\a.dll"},
      {u"a.cpl", u"\\Windows\\a.cpl"},
      {u"\\Program Files\\X\\b", u"\\Program Files\\X\\b.dll"},
      {u"Windows/c.dll", u"\\Windows\\c.dll"},
      {u"\\dir.d\\file", u"\\dir.d\\file.dll"},
  };
  for (const auto& c : cases) EXPECT_EQ(CanonicalModulePath(c.name), c.path);
}

TEST_F(ModuleLoaderTest, ResourcesOfASharedObjectComeThroughItsInstanceHandle) {
  InstallSample();
  HINSTANCE module = LoadLibraryW(u"sample.dll");
  ASSERT_NE(module, nullptr);

  WCHAR buffer[32];
  EXPECT_EQ(LoadStringW(module, 7, buffer, 32), 11);
  EXPECT_EQ(std::u16string(buffer), u"sample text");
  // Cut to the buffer, always terminated.
  EXPECT_EQ(LoadStringW(module, 7, buffer, 4), 3);
  EXPECT_EQ(std::u16string(buffer), u"sam");
  // Size 0: the buffer receives a pointer to the resource text itself.
  LPCWSTR text = nullptr;
  EXPECT_EQ(LoadStringW(module, 7, reinterpret_cast<LPWSTR>(&text), 0), 11);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text, 11), u"sample text");
  // A missing string gives 0 and an empty buffer.
  buffer[0] = u'x';
  SetLastError(0);
  EXPECT_EQ(LoadStringW(module, 8, buffer, 32), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadStringW(nullptr, 7, buffer, 32), 0);

  HRSRC found = FindResourceW(module, MAKEINTRESOURCE(7), RT_STRING);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(SizeofResource(module, found), 22u);
  EXPECT_EQ(LockResource(LoadResource(module, found)), static_cast<const void*>(text));
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCE(7), RT_MENU), nullptr);
  EXPECT_EQ(FindResourceW(module, u"named", RT_STRING), nullptr);
  EXPECT_EQ(LoadMenuW(module, MAKEINTRESOURCE(7)), nullptr);
  FreeLibrary(module);
}

TEST_F(ModuleLoaderTest, CursorsAreSystemPicturesAndSetCursorKeepsTheCurrentOne) {
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(wait, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(wait, arrow);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), wait);  // shared
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCE(1)), nullptr);

  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(SetCursor(wait), nullptr);
  EXPECT_EQ(CursorName(CurrentCursor()), "IDC_WAIT");
  EXPECT_EQ(SetCursor(arrow), wait);
  EXPECT_EQ(CursorName(GetCursor()), "IDC_ARROW");
  EXPECT_TRUE(device().journal().Entries().empty());

  HICON application = LoadIconW(nullptr, IDI_APPLICATION);
  ASSERT_NE(application, nullptr);
  auto picture = IconFromHandle(application);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 32);
  EXPECT_TRUE(DestroyIcon(application));  // shared: still there afterwards
  EXPECT_NE(IconFromHandle(application), nullptr);
  EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(0x42)));
}

}  // namespace
}  // namespace pellix::device
