// Paths below the installation folder: InstallDir (with "\" appended when it does not end in
// one) + "Skins\" + skin name + "\".
#pragma once

#include <windows.h>

// Writes the folder of skin `skinName` (null: the settings' SkinName) into `out` of `cch`
// characters. Returns FALSE, with `out` holding what fitted, when the path is too long.
BOOL GetSkinFolder(LPWSTR out, size_t cch, LPCWSTR skinName);

// Converts a wide path to the narrow ANSI path the runtime's file functions take (at most 256
// bytes with the terminator). Returns FALSE when it does not convert.
BOOL PathToAnsi(LPCWSTR path, LPSTR out, int cbOut);
