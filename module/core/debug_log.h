// The debug log: "\PellixInbox.log" in the root of the device's file system, written only
// while DebugLogging is on. Each call opens, appends, flushes and closes the file, so whole
// messages from different threads interleave and the file is complete if the process dies.
#pragma once

#include <windows.h>

#define PELLIX_LOG_FILE "\\PellixInbox.log"
#define LOG_MESSAGE_CCH 512

// Formats like wvsprintfW and appends the text in the ANSI code page. Costs one test when
// DebugLogging is 0: the arguments are not even formatted.
void WriteLog(LPCWSTR format, ...);
// Empties the log when DebugLogging is on; otherwise does nothing.
void ResetLog();
