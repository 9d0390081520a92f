// Conformance of the registry functions with the platform, and the engine's sharing of one
// image between processes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kernel/registry.h"
#include "testing/temp_image.h"
#include "windows.h"

namespace {

using pellix::testing::DeviceTest;

class RegistryTest : public DeviceTest {
 protected:
  HKEY Create(LPCWSTR path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    return key;
  }
  static void SetString(HKEY key, LPCWSTR name, LPCWSTR text) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
  }
};

TEST_F(RegistryTest, QueryFollowsThePlatformsBufferRules) {
  HKEY key = Create(TEXT("Software\\Test"));
  SetString(key, TEXT("Name"), TEXT("abcdef"));  // 14 bytes with the terminator

  // No buffer: success and the size.
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("Name"), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 14u);

  // Too small: ERROR_MORE_DATA, the size needed, the type, and an untouched buffer.
  BYTE small[8];
  std::memset(small, 0xAB, sizeof small);
  size = sizeof small;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("Name"), nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  for (BYTE b : small) EXPECT_EQ(b, 0xAB);

  // Missing: ERROR_FILE_NOT_FOUND and a size of 0.
  size = 99;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("Absent"), nullptr, nullptr, small, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);

  // A buffer without a size is a bad parameter.
  EXPECT_EQ(RegQueryValueExW(key, TEXT("Name"), nullptr, nullptr, small, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(RegistryTest, RawBytesFillOnlyTheirOwnPartOfTheBuffer) {
  HKEY key = Create(TEXT("Software\\Test"));
  const BYTE two[2] = {0x34, 0x12};
  ASSERT_EQ(RegSetValueExW(key, TEXT("Short"), 0, REG_BINARY, two, 2), ERROR_SUCCESS);
  DWORD value = 0xAAAAAAAA, size = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("Short"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(value, 0xAAAA1234u);

  // A string stored without its terminator comes back exactly as stored.
  ASSERT_EQ(RegSetValueExW(key, TEXT("NoNul"), 0, REG_SZ, reinterpret_cast<const BYTE*>(TEXT("ab")), 4),
            ERROR_SUCCESS);
  WCHAR text[4] = {u'x', u'x', u'x', u'x'};
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("NoNul"), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(text[1], u'b');
  EXPECT_EQ(text[2], u'x');
  RegCloseKey(key);
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
  HKEY key = Create(TEXT("Software\\Halvane Quorrin Softwares\\Pellix"));
  DWORD one = 1;
  ASSERT_EQ(RegSetValueExW(key, TEXT("ShowMyBubble"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(key);

  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("SOFTWARE\\halvane quorrin softwares\\PELLIX"), 0, KEY_READ, &again),
            ERROR_SUCCESS);
  DWORD value = 0, size = 4;
  EXPECT_EQ(RegQueryValueExW(again, TEXT("showmybubble"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  WCHAR name[32];
  DWORD cch = 32;
  EXPECT_EQ(RegEnumValueW(again, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"ShowMyBubble");
  cch = 32;
  EXPECT_EQ(RegEnumValueW(again, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(again);
}

TEST_F(RegistryTest, OpenCreateAndDeleteKeys) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Software\\Missing"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);

  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("A\\B\\C"), 0, nullptr, 0, 0, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("a\\b"), 0, nullptr, 0, 0, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  WCHAR name[8];
  DWORD cch = 8;
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"C");
  RegCloseKey(key);

  // Deleting a key takes its subkeys with it, and nothing that merely shares a prefix.
  HKEY sibling = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("AB"), 0, nullptr, 0, 0, nullptr, &sibling, nullptr), ERROR_SUCCESS);
  RegCloseKey(sibling);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("A")), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("A\\B\\C"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("AB"), 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("A")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ValuesAreDurableAndAnotherConnectionsChangesAreSeen) {
  HKEY key = Create(TEXT("Software\\Shared"));
  DWORD v = 5;
  ASSERT_EQ(RegSetValueExW(key, TEXT("N"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);

  // Another connection to the same image, as pellix-device reg set from another process.
  pellix::device::Registry other(device().image().registry_db().string());
  auto seen = other.GetValue(pellix::device::RegistryRoot::kCurrentUser, u"software\\shared", u"n");
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->data[0], 5);
  ASSERT_TRUE(other.SetValue(pellix::device::RegistryRoot::kCurrentUser, u"Software\\Shared",
                             {u"N", REG_DWORD, {9, 0, 0, 0}}).ok());

  DWORD read = 0, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("N"), nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(read, 9u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, RestatingAValueLeavesTheDatabaseAlone) {
  HKEY key = Create(TEXT("Software\\Restated"));
  SetString(key, TEXT("S"), TEXT("same"));
  const auto wal = std::filesystem::path(device().image().registry_db().string() + "-wal");
  const auto size = std::filesystem::file_size(wal);
  for (int i = 0; i < 5; ++i) SetString(key, TEXT("s"), TEXT("same"));
  EXPECT_EQ(std::filesystem::file_size(wal), size);
  // A value of another type or content is a change.
  DWORD d = 1;
  ASSERT_EQ(RegSetValueExW(key, TEXT("S"), 0, REG_BINARY, reinterpret_cast<BYTE*>(&d), 4), ERROR_SUCCESS);
  EXPECT_GT(std::filesystem::file_size(wal), size);
  DWORD type = 0, read = 0, cb = 4;
  EXPECT_EQ(RegQueryValueExW(key, TEXT("S"), nullptr, &type, reinterpret_cast<BYTE*>(&read), &cb), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  RegCloseKey(key);
}

TEST(RegistryPath, NormalizeDropsEmptyComponents) {
  EXPECT_EQ(pellix::device::Registry::NormalizePath(u"\\A\\\\B\\"), u"A\\B");
  EXPECT_EQ(pellix::device::Registry::NormalizePath(u""), u"");
}

}  // namespace
