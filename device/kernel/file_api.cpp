// coredll: files by device path, the C runtime's fopen on device paths, and special folders.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kernel/codepage.h"
#include "kernel/device.h"
#include "kernel/kernel_object.h"
#include "windows.h"

namespace fs = std::filesystem;
using namespace pellix::device;

namespace {

class FileObject : public KernelObject {
 public:
  explicit FileObject(FILE* f) : file(f) {}
  ~FileObject() override {
    if (file) std::fclose(file);
  }
  FILE* file;
};

// Maps a device path; on failure sets the platform's last error and returns nothing.
bool MapDevicePath(LPCWSTR path, fs::path* host) {
  if (!path || !*path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  Result<fs::path> mapped = Device::Get().image().MapPath(path);
  if (!mapped) {
    SetLastError(static_cast<DWORD>(mapped.error().code ? mapped.error().code : ERROR_PATH_NOT_FOUND));
    return false;
  }
  *host = *mapped;
  return true;
}

FileObject* FindFile(HANDLE h) {
  auto object = Handles().FindAs<FileObject>(reinterpret_cast<uintptr_t>(h));
  return object.get();  // the table keeps it alive until CloseHandle
}

DWORD ErrnoToError(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_INVALID_PARAMETER;
  }
}

// The device's files are regular files. A link in the image to a device node (/dev/zero) or a
// folder opened as a file would hand the module an endless or unreadable stream.
bool NotARegularFile(const fs::path& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
  fs::path host;
  if (!MapDevicePath(fileName, &host)) return INVALID_HANDLE_VALUE;
  std::error_code ec;
  bool exists = fs::exists(host, ec);
  if (exists && fs::is_directory(host, ec)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!exists && !fs::is_directory(host.parent_path(), ec)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const char* mode = nullptr;
  bool writing = (access & GENERIC_WRITE) != 0;
  switch (disposition) {
    case CREATE_NEW:
      if (exists) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
      }
      mode = "w+b";
      break;
    case CREATE_ALWAYS:
      mode = "w+b";
      break;
    case OPEN_EXISTING:
      if (!exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      mode = writing ? "r+b" : "rb";
      break;
    case OPEN_ALWAYS:
      mode = exists ? (writing ? "r+b" : "rb") : "w+b";
      break;
    case TRUNCATE_EXISTING:
      if (!exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      mode = "w+b";
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (NotARegularFile(host)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  FILE* f = std::fopen(host.c_str(), mode);
  if (!f) {
    SetLastError(ErrnoToError(errno));
    return INVALID_HANDLE_VALUE;
  }
  // CREATE_ALWAYS and OPEN_ALWAYS report whether the file was already there.
  SetLastError((exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS))
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(Handles().Insert(std::make_shared<FileObject>(f)));
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID) {
  FileObject* file = FindFile(h);
  if (!file || (!buffer && toRead)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  size_t n = toRead ? std::fread(buffer, 1, toRead, file->file) : 0;
  if (read) *read = static_cast<DWORD>(n);
  if (n < toRead && std::ferror(file->file)) {
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
  }
  return TRUE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID) {
  FileObject* file = FindFile(h);
  if (!file || (!buffer && toWrite)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  size_t n = toWrite ? std::fwrite(buffer, 1, toWrite, file->file) : 0;
  if (written) *written = static_cast<DWORD>(n);
  if (n < toWrite) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileSize(HANDLE h, LPDWORD high) {
  FileObject* file = FindFile(h);
  struct stat st;
  if (!file || fstat(fileno(file->file), &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (high) *high = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE h, LONG distance, PLONG high, DWORD method) {
  FileObject* file = FindFile(h);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  int64_t offset = high ? (static_cast<int64_t>(*high) << 32) | static_cast<uint32_t>(distance) : distance;
  if (!file || method > FILE_END || fseeko(file->file, offset, whence) != 0) {
    SetLastError(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFu;
  }
  int64_t pos = ftello(file->file);
  if (high) *high = static_cast<LONG>(pos >> 32);
  return static_cast<DWORD>(pos);
}

BOOL FlushFileBuffers(HANDLE h) {
  FileObject* file = FindFile(h);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return std::fflush(file->file) == 0;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  fs::path host;
  if (!MapDevicePath(fileName, &host)) return INVALID_FILE_ATTRIBUTES;
  std::error_code ec;
  fs::file_status status = fs::status(host, ec);
  if (ec || !fs::exists(status)) {
    SetLastError(fs::is_directory(host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (fs::is_directory(status)) return FILE_ATTRIBUTE_DIRECTORY;
  bool writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
  return writable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

BOOL DeleteFileW(LPCWSTR fileName) {
  fs::path host;
  if (!MapDevicePath(fileName, &host)) return FALSE;
  std::error_code ec;
  if (fs::is_directory(host, ec)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!fs::remove(host, ec)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  fs::path host;
  if (!MapDevicePath(pathName, &host)) return FALSE;
  std::error_code ec;
  if (fs::exists(host, ec)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (!fs::create_directory(host, ec)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  fs::path src, dst;
  if (!MapDevicePath(from, &src) || !MapDevicePath(to, &dst)) return FALSE;
  std::error_code ec;
  auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
  if (!fs::copy_file(src, dst, options, ec)) {
    SetLastError(ec == std::errc::file_exists ? ERROR_FILE_EXISTS : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
  const WCHAR* name = nullptr;
  switch (folder) {
    case CSIDL_PROGRAM_FILES: name = u"\\Program Files"; break;
    case CSIDL_WINDOWS: name = u"\\Windows"; break;
    case CSIDL_PERSONAL: name = u"\\My Documents"; break;
    case CSIDL_PROGRAMS: name = u"\\Windows\\Start Menu\\Programs"; break;
    case CSIDL_STARTUP: name = u"\\Windows\\StartUp"; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  wcscpy(path, name);  // callers pass MAX_PATH characters; every name here is far shorter
  if (create) {
    fs::path host;
    std::error_code ec;
    if (MapDevicePath(name, &host)) fs::create_directories(host, ec);
  }
  return TRUE;
}

// ---- The C runtime on device paths ----------------------------------------------------------------

FILE* _wfopen(const WCHAR* devicePath, const WCHAR* mode) {
  fs::path host;
  if (!mode || !MapDevicePath(devicePath, &host)) {
    errno = ENOENT;
    return nullptr;
  }
  std::string narrow_mode;
  for (const WCHAR* m = mode; *m; ++m) {
    // The platform's text mode translates nothing on read of "\r\n"-free data and keeps bytes
    // as written; the device stores bytes exactly, so "t" is dropped.
    if (*m != u't') narrow_mode += static_cast<char>(*m);
  }
  if (narrow_mode.find('b') == std::string::npos) narrow_mode += 'b';
  if (NotARegularFile(host)) {
    errno = EACCES;
    return nullptr;
  }
  return std::fopen(host.c_str(), narrow_mode.c_str());
}

FILE* CeFileOpen(const char* devicePath, const char* mode) {
  if (!devicePath || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  std::u16string wide_path = codepage::AnsiToWide(devicePath);
  std::u16string wide_mode = codepage::AnsiToWide(mode);
  return _wfopen(wide_path.c_str(), wide_mode.c_str());
}

int CeFileRemove(const char* devicePath) {
  if (!devicePath) return -1;
  std::u16string wide_path = codepage::AnsiToWide(devicePath);
  return DeleteFileW(wide_path.c_str()) ? 0 : -1;
}
