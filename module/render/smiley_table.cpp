#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>

#include "render/smiley_table.h"

#include "core/debug_log.h"
#include "core/settings.h"
#include "forms/picture.h"
#include "render/skin_folder.h"
#include "render/templates.h"

SMILEYENTRY* g_SmileyTable = nullptr;
LONG g_SmileyCount = 0;
BOOL g_SmileyTableLoaded = FALSE;

namespace {

// Guards the picture fields: a load and the store into its entry happen under it, so one entry
// is never loaded twice, and FreeSmileyImages never races a load.
std::mutex& PictureLock() {
  static std::mutex lock;
  return lock;
}

bool IsLineBreak(WCHAR c) { return c == u'\r' || c == u'\n'; }
bool IsTokenBreak(WCHAR c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

LPWSTR CopyRange(const WCHAR* from, const WCHAR* to) {
  size_t n = static_cast<size_t>(to - from);
  auto* s = static_cast<LPWSTR>(malloc((n + 1) * sizeof(WCHAR)));
  if (!s) return nullptr;
  memcpy(s, from, n * sizeof(WCHAR));
  s[n] = 0;
  return s;
}

// The next token of [p, end): skips breaks, returns the token's bounds, or false at the end.
bool NextToken(const WCHAR*& p, const WCHAR* end, const WCHAR** start) {
  while (p < end && IsTokenBreak(*p)) ++p;
  if (p == end) return false;
  *start = p;
  while (p < end && !IsTokenBreak(*p)) ++p;
  return true;
}

// Whether `path` names an existing directory.
bool IsDirectory(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void ParseSmileyTable(LPCWSTR text) {
  FreeSmileyTable();
  if (!text) text = TEXT("");
  const WCHAR* end = text + wcslen(text);

  // Lines are runs of characters between runs of CR and LF, so every line counted here is
  // non-empty; the array gets one entry more than the count.
  size_t lines = 0;
  for (const WCHAR* p = text; p < end;) {
    while (p < end && IsLineBreak(*p)) ++p;
    if (p == end) break;
    ++lines;
    while (p < end && !IsLineBreak(*p)) ++p;
  }
  g_SmileyTable = static_cast<SMILEYENTRY*>(calloc(lines + 1, sizeof(SMILEYENTRY)));
  g_SmileyCount = 0;
  if (!g_SmileyTable) return;

  for (const WCHAR* p = text; p < end;) {
    while (p < end && IsLineBreak(*p)) ++p;
    if (p == end) break;
    const WCHAR* lineEnd = p;
    while (lineEnd < end && !IsLineBreak(*lineEnd)) ++lineEnd;
    const WCHAR* line = p;
    p = lineEnd;

    const WCHAR* codeStart;
    if (!NextToken(line, lineEnd, &codeStart)) continue;  // blanks only
    const WCHAR* codeEnd = line;
    const WCHAR* fileStart;
    if (!NextToken(line, lineEnd, &fileStart)) continue;  // a code without a file
    const WCHAR* fileEnd = line;

    SMILEYENTRY& entry = g_SmileyTable[g_SmileyCount];
    entry.code = CopyRange(codeStart, codeEnd);
    bool hasDot = std::u16string_view(fileStart, fileEnd - fileStart).find(u'.') !=
                  std::u16string_view::npos;
    size_t fileLength = static_cast<size_t>(fileEnd - fileStart);
    entry.file = static_cast<LPWSTR>(malloc((fileLength + 5) * sizeof(WCHAR)));
    if (!entry.code || !entry.file) {
      free(entry.code);
      free(entry.file);
      entry = SMILEYENTRY{};
      continue;
    }
    memcpy(entry.file, fileStart, fileLength * sizeof(WCHAR));
    entry.file[fileLength] = 0;
    if (!hasDot) wcscat(entry.file, TEXT(".gif"));
    ++g_SmileyCount;
  }
}

void LoadSmileyTable() {
  WCHAR path[MAX_PATH];
  CHAR narrow[256];
  LPWSTR text = nullptr;
  bool read = GetSkinFolder(path, MAX_PATH, nullptr) &&
              SUCCEEDED(StringCchCatW(path, MAX_PATH, TEXT("Smileydata.txt"))) &&
              PathToAnsi(path, narrow, sizeof(narrow)) && ReadTextFile(narrow, &text);
  if (!read) {
    read = GetSkinFolder(path, MAX_PATH, TEXT("default")) &&
           SUCCEEDED(StringCchCatW(path, MAX_PATH, TEXT("Smileydata.txt"))) &&
           PathToAnsi(path, narrow, sizeof(narrow)) && ReadTextFile(narrow, &text);
  }
  if (!read) return;
  ParseSmileyTable(text);
  free(text);
  g_SmileyTableLoaded = TRUE;
}

PICTURE* GetSmileyImage(LPCWSTR name) {
  if (!name || !*name) return nullptr;

  SMILEYENTRY* entry = nullptr;
  LPCWSTR file = name;
  if (!wcschr(name, u'.')) {
    WCHAR* end = nullptr;
    long index = wcstol(name, &end, 10);
    if (end == name || index < 0 || index >= g_SmileyCount || !g_SmileyTable) return nullptr;
    entry = &g_SmileyTable[index];
    file = entry->file;
  }

  std::unique_lock<std::mutex> hold(PictureLock(), std::defer_lock);
  if (entry) {
    hold.lock();
    if (entry->picture) return entry->picture;
  }

  WCHAR folder[MAX_PATH] = {0};
  if (!wcschr(file, u'\\') && !wcschr(file, u'/')) {
    if (!GetSkinFolder(folder, MAX_PATH, nullptr) ||
        FAILED(StringCchCatW(folder, MAX_PATH, TEXT("Smileys\\"))) || !IsDirectory(folder)) {
      GetSkinFolder(folder, MAX_PATH, TEXT("default"));
      StringCchCatW(folder, MAX_PATH, TEXT("Smileys\\"));
    }
  }
  WCHAR path[MAX_PATH];
  StringCchCopyW(path, MAX_PATH, folder);
  StringCchCatW(path, MAX_PATH, file);
  WriteLog(TEXT("Smiley:file is "));
  WriteLog(path);
  WriteLog(TEXT("\r\n"));

  auto* picture = new (std::nothrow) PICTURE;
  if (!picture) return nullptr;
  InitPicture(picture);
  if (FAILED(LoadPictureFromFile(picture, path))) {
    ReleasePicture(picture);
    delete picture;
    return nullptr;
  }
  if (entry) entry->picture = picture;
  return picture;
}

void FreeSmileyImages() {
  if (!g_SmileyTable) return;
  WriteLog(TEXT("Freeing smiley images\r\n"));
  std::lock_guard<std::mutex> hold(PictureLock());
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    if (!g_SmileyTable[i].picture) continue;
    ReleasePicture(g_SmileyTable[i].picture);
    delete g_SmileyTable[i].picture;
    g_SmileyTable[i].picture = nullptr;
  }
}

void FreeSmileyTable() {
  if (!g_SmileyTable) return;
  FreeSmileyImages();
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    free(g_SmileyTable[i].code);
    free(g_SmileyTable[i].file);
    g_SmileyTable[i].code = nullptr;
    g_SmileyTable[i].file = nullptr;
  }
  free(g_SmileyTable);
  g_SmileyTable = nullptr;
  g_SmileyCount = 0;
  // A module loaded again (or a later EnsureInitialized) must read the list anew.
  g_SmileyTableLoaded = FALSE;
}
