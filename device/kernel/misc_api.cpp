// coredll: last error, the clock and calendar time, local memory and debug output.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "kernel/device.h"
#include "kernel/time_zone.h"
#include "windows.h"

using namespace pellix::device;

// ---- Last error ----------------------------------------------------------------------------------

namespace {
thread_local DWORD t_last_error = 0;
}

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD error) { t_last_error = error; }

// ---- Clock -----------------------------------------------------------------------------------------

DWORD GetTickCount() { return Device::Get().clock().TickCount(); }
void Sleep(DWORD milliseconds) { Device::Get().clock().Sleep(milliseconds); }

// ---- Calendar time -----------------------------------------------------------------------------------
// Calendar time is the host's; local time is in the profile's time zone.

namespace {

constexpr uint64_t kEpochDifference = 116444736000000000ull;  // 1601-01-01 to 1970-01-01 in 100 ns

uint64_t ToUint64(const FILETIME* f) {
  return (static_cast<uint64_t>(f->dwHighDateTime) << 32) | f->dwLowDateTime;
}

void FromUint64(uint64_t v, LPFILETIME f) {
  f->dwLowDateTime = static_cast<DWORD>(v);
  f->dwHighDateTime = static_cast<DWORD>(v >> 32);
}

}  // namespace

void GetSystemTimeAsFileTime(LPFILETIME time) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  FromUint64(kEpochDifference + static_cast<uint64_t>(ts.tv_sec) * 10000000ull +
                 static_cast<uint64_t>(ts.tv_nsec) / 100,
             time);
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME st) {
  if (!fileTime || !st) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t v = ToUint64(fileTime);
  if (v >= 0x8000000000000000ull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t seconds = static_cast<int64_t>(v / 10000000ull) - static_cast<int64_t>(kEpochDifference / 10000000ull);
  time_t t = static_cast<time_t>(seconds);
  tm parts;
  if (!gmtime_r(&t, &parts)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  st->wYear = static_cast<WORD>(parts.tm_year + 1900);
  st->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  st->wDay = static_cast<WORD>(parts.tm_mday);
  st->wHour = static_cast<WORD>(parts.tm_hour);
  st->wMinute = static_cast<WORD>(parts.tm_min);
  st->wSecond = static_cast<WORD>(parts.tm_sec);
  st->wMilliseconds = static_cast<WORD>((v / 10000ull) % 1000ull);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, LPFILETIME fileTime) {
  if (!st || !fileTime || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wDay > 31 ||
      st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999 ||
      st->wYear < 1601) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  tm parts{};
  parts.tm_year = st->wYear - 1900;
  parts.tm_mon = st->wMonth - 1;
  parts.tm_mday = st->wDay;
  parts.tm_hour = st->wHour;
  parts.tm_min = st->wMinute;
  parts.tm_sec = st->wSecond;
  int64_t seconds = timegm(&parts);
  FromUint64(static_cast<uint64_t>(seconds + static_cast<int64_t>(kEpochDifference / 10000000ull)) * 10000000ull +
                 st->wMilliseconds * 10000ull,
             fileTime);
  return TRUE;
}

void GetSystemTime(LPSYSTEMTIME time) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  FileTimeToSystemTime(&now, time);
}

namespace {

int64_t SecondsSince1970(uint64_t filetime) {
  return static_cast<int64_t>(filetime / 10000000ull) - static_cast<int64_t>(kEpochDifference / 10000000ull);
}

// The bias of the device's time zone now. The platform converts every file time with the bias
// in force at the moment of the call, daylight time included, not the one at the converted
// time; programs that show old times rely on that, so the device does the same.
int64_t CurrentBias100ns() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>(DeviceTimeZone().OffsetAt(SecondsSince1970(ToUint64(&now)))) * 10000000;
}

BOOL InvalidParameter() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL Shift(const FILETIME* in, LPFILETIME out, int64_t by) {
  if (!in || !out) return InvalidParameter();
  const int64_t value = static_cast<int64_t>(ToUint64(in));
  if (value < 0 || (by < 0 && value < -by) || (by > 0 && value > INT64_MAX - by))
    return InvalidParameter();
  FromUint64(static_cast<uint64_t>(value + by), out);
  return TRUE;
}

}  // namespace

void GetLocalTime(LPSYSTEMTIME time) {
  FILETIME now, local;
  GetSystemTimeAsFileTime(&now);
  if (Shift(&now, &local, CurrentBias100ns())) FileTimeToSystemTime(&local, time);
}

BOOL FileTimeToLocalFileTime(const FILETIME* in, LPFILETIME out) { return Shift(in, out, CurrentBias100ns()); }

BOOL LocalFileTimeToFileTime(const FILETIME* in, LPFILETIME out) { return Shift(in, out, -CurrentBias100ns()); }

// ---- Local memory ------------------------------------------------------------------------------------
// Every block carries its size in a header, so LocalSize works and the handle is the pointer.

namespace {

struct alignas(16) BlockHeader {
  size_t size;
  uint64_t magic;
};
constexpr uint64_t kBlockMagic = 0x4C4F43414C4D454Dull;  // "LOCALMEM"

BlockHeader* HeaderOf(HLOCAL block) {
  if (!block) return nullptr;
  auto* header = static_cast<BlockHeader*>(block) - 1;
  return header->magic == kBlockMagic ? header : nullptr;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (!header) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  header->size = bytes;
  header->magic = kBlockMagic;
  if (flags & LMEM_ZEROINIT) std::memset(header + 1, 0, bytes);
  return header + 1;
}

HLOCAL LocalFree(HLOCAL block) {
  if (!block) return nullptr;
  BlockHeader* header = HeaderOf(block);
  if (!header) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;  // the platform returns the handle when it cannot free it
  }
  header->magic = 0;
  std::free(header);
  return nullptr;
}

HLOCAL LocalReAlloc(HLOCAL block, SIZE_T bytes, UINT flags) {
  BlockHeader* header = HeaderOf(block);
  if (!header) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  size_t old_size = header->size;
  auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + bytes));
  if (!grown) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  grown->size = bytes;
  if ((flags & LMEM_ZEROINIT) && bytes > old_size)
    std::memset(reinterpret_cast<char*>(grown + 1) + old_size, 0, bytes - old_size);
  return grown + 1;
}

SIZE_T LocalSize(HLOCAL block) {
  BlockHeader* header = HeaderOf(block);
  return header ? header->size : 0;
}

LPVOID LocalLock(HLOCAL block) { return HeaderOf(block) ? block : nullptr; }
BOOL LocalUnlock(HLOCAL) { return FALSE; }  // no lock count remains, as for fixed blocks
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return LocalAlloc(flags, bytes); }
HGLOBAL GlobalFree(HGLOBAL block) { return LocalFree(block); }
LPVOID GlobalLock(HGLOBAL block) { return LocalLock(block); }
BOOL GlobalUnlock(HGLOBAL block) { return LocalUnlock(block); }
SIZE_T GlobalSize(HGLOBAL block) { return LocalSize(block); }

// ---- Debug output ------------------------------------------------------------------------------------

void NKDbgPrintfW(LPCWSTR format, ...) {
  if (!format) return;
  WCHAR text[1024];
  va_list args;
  va_start(args, format);
  wvsprintfW(text, format, args);
  va_end(args);
  Device::Get().journal().Append(journal_kind::kDebug, Utf16ToUtf8(text));
}

void OutputDebugStringW(LPCWSTR text) {
  if (text) Device::Get().journal().Append(journal_kind::kDebug, Utf16ToUtf8(text));
}
