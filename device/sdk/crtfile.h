// The platform C runtime's file functions take device paths ("\PellixInbox.log"). Module code
// calls fopen as on the device; the SDK routes it to the device's file system. The device's own
// sources (built with PELLIX_DEVICE_INTERNAL) keep the host's fopen.
#pragma once

#include <cstdio>

#include "windef.h"

// Opens a file by its narrow device path, in the ANSI code page.
FILE* CeFileOpen(const char* devicePath, const char* mode);
FILE* _wfopen(const WCHAR* devicePath, const WCHAR* mode);
int CeFileRemove(const char* devicePath);

#if !defined(PELLIX_DEVICE_INTERNAL)
#define fopen CeFileOpen
#define remove CeFileRemove
#endif
