#include "core/debug_log.h"

#include <stdio.h>
#include <string.h>

#include "core/settings.h"

namespace {

// Appends one piece of at most LOG_MESSAGE_CCH - 1 characters.
void AppendPiece(FILE* file, LPCWSTR piece) {
  char converted[LOG_MESSAGE_CCH];
  int n = WideCharToMultiByte(CP_ACP, 0, piece, -1, converted, LOG_MESSAGE_CCH, NULL, NULL);
  if (n <= 0) return;
  converted[LOG_MESSAGE_CCH - 1] = 0;
  fwrite(converted, 1, strlen(converted), file);
}

}  // namespace

void WriteLog(LPCWSTR format, ...) {
  if (g_Settings.DebugLogging == 0) return;
  FILE* file = fopen(PELLIX_LOG_FILE, "at");
  if (!file) return;
  // wvsprintfW writes at most 1023 characters; a message longer than the log's 511-character
  // pieces is written in several pieces rather than cut, so nothing is lost from the trace.
  WCHAR formatted[1024];
  va_list args;
  va_start(args, format);
  wvsprintfW(formatted, format, args);
  va_end(args);
  size_t length = wcslen(formatted);
  for (size_t start = 0; start < length; start += LOG_MESSAGE_CCH - 1) {
    WCHAR piece[LOG_MESSAGE_CCH];
    StringCchCopyNW(piece, LOG_MESSAGE_CCH, formatted + start, LOG_MESSAGE_CCH - 1);
    AppendPiece(file, piece);
  }
  fflush(file);
  fclose(file);
}

void ResetLog() {
  if (g_Settings.DebugLogging == 0) return;
  FILE* file = fopen(PELLIX_LOG_FILE, "w");
  if (file) fclose(file);
}
