// Shell execution: opening a document, program or web address the way the shell would.
#pragma once

#include <windows.h>

#define SEE_MASK_CLASSNAME 0x00000001
#define SEE_MASK_CLASSKEY 0x00000003
#define SEE_MASK_IDLIST 0x00000004
#define SEE_MASK_INVOKEIDLIST 0x0000000C
#define SEE_MASK_ICON 0x00000010
#define SEE_MASK_HOTKEY 0x00000020
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_CONNECTNETDRV 0x00000080
#define SEE_MASK_FLAG_DDEWAIT 0x00000100
#define SEE_MASK_DOENVSUBST 0x00000200
#define SEE_MASK_FLAG_NO_UI 0x00000400

// hInstApp values of a failed ShellExecuteEx.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_NOASSOC 31

// cbSize is 60 on the device (fifteen 32-bit words).
typedef struct _SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
} SHELLEXECUTEINFO, SHELLEXECUTEINFOW, *LPSHELLEXECUTEINFO, *LPSHELLEXECUTEINFOW;

// Opens lpFile: a web address ("http://", "https://", "www.") in the browser, a program by
// path. hInstApp receives a value above 32 on success; hProcess a handle with
// SEE_MASK_NOCLOSEPROCESS (close it with CloseHandle).
BOOL ShellExecuteEx(LPSHELLEXECUTEINFO lpExecInfo);
#define ShellExecuteExW ShellExecuteEx
