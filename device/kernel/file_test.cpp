// Files by device path: CreateFileW and friends, fopen on device paths, special folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testing/temp_image.h"
#include "windows.h"

namespace {

using pellix::testing::DeviceTest;

class FileTest : public DeviceTest {};

TEST_F(FileTest, CreateWriteReadAndSize) {
  HANDLE f = CreateFileW(TEXT("\\data.bin"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f, "hello", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  CloseHandle(f);

  f = CreateFileW(TEXT("\\DATA.BIN"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(f, nullptr), 5u);
  char buffer[8] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(f, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 5u);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_TRUE(CloseHandle(f));
  EXPECT_FALSE(CloseHandle(f));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileTest, OpenFailuresGiveThePlatformsErrors) {
  EXPECT_EQ(CreateFileW(TEXT("\\nothere.gif"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileW(TEXT("\\no\\such\\dir\\x"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  std::u16string long_path = u"\\" + std::u16string(300, u'a');
  EXPECT_EQ(CreateFileW(long_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(GetFileSize(reinterpret_cast<HANDLE>(0x77), nullptr), INVALID_FILE_SIZE);
}

TEST_F(FileTest, AttributesTellFoldersFromFiles) {
  ASSERT_TRUE(CreateDirectoryW(TEXT("\\Program Files"), nullptr));
  EXPECT_FALSE(CreateDirectoryW(TEXT("\\program files"), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileAttributesW(TEXT("\\PROGRAM FILES")), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  std::ofstream(HostPath(u"\\Program Files\\a.txt")) << "x";
  EXPECT_EQ(GetFileAttributesW(TEXT("\\Program Files\\A.TXT")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributesW(TEXT("\\Program Files\\b.txt")), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileTest, CrtOpensNarrowDevicePaths) {
  // Device code's own build keeps the host's fopen; CeFileOpen is what module code's fopen is.
  FILE* f = CeFileOpen("\\PellixInbox.log", "at");
  ASSERT_NE(f, nullptr);
  fputs("one\r\n", f);
  fclose(f);
  f = CeFileOpen("\\pellixinbox.LOG", "at");
  ASSERT_NE(f, nullptr);
  fputs("two\r\n", f);
  fclose(f);
  std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "one\r\ntwo\r\n");  // bytes as written: no text-mode translation
  EXPECT_EQ(CeFileOpen("\\missing\\x.txt", "r"), nullptr);
  EXPECT_EQ(CeFileRemove("\\PellixInbox.log"), 0);
  EXPECT_EQ(CeFileRemove("\\PellixInbox.log"), -1);
}

TEST_F(FileTest, SpecialFolders) {
  WCHAR path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\Program Files");
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x77, FALSE));
}

TEST_F(FileTest, LocalMemoryKeepsItsSize) {
  HLOCAL block = LocalAlloc(LPTR, 10);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(LocalSize(block), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<BYTE*>(block)[i], 0);
  block = LocalReAlloc(block, 20, LMEM_ZEROINIT);
  EXPECT_EQ(LocalSize(block), 20u);
  EXPECT_EQ(LocalFree(block), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
