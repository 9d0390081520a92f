// Modules and their resources: loading libraries, finding exports, and the resource calls
// (strings, menus, bitmaps, icons, cursors) that read what a module carries inside it.
#pragma once

#include "windef.h"
#include "winerror.h"

// An export's address. Callers cast it to the export's real type; void (*)() is the one
// function pointer type that such casts convert from without a warning.
typedef void(WINAPI* FARPROC)();
typedef void(WINAPI* PROC)();

// Reasons an entry point is called with.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Marks a function as exported from a module built as a shared object.
#define DLLEXPORT __attribute__((visibility("default")))

// A resource or export named by number rather than by text rides in the pointer itself.
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)

#ifndef ERROR_DLL_INIT_FAILED
#define ERROR_DLL_INIT_FAILED 1114L
#endif

// Libraries. A bare name is looked for among loaded modules, then in \Windows\.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
BOOL FreeLibrary(HMODULE hLibModule);
// lpProcName is a name, or an ordinal n < 0x10000 passed as (LPCWSTR)(ULONG_PTR)n.
FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

#define LoadLibrary LoadLibraryW
#define GetProcAddress GetProcAddressW
#define GetModuleHandle GetModuleHandleW
#define GetModuleFileName GetModuleFileNameW

// Raw resources. The handle from LoadResource stays valid while the module is loaded.
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);

#define FindResource FindResourceW

// Images.
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2

#define LR_DEFAULTCOLOR 0x0000
#define LR_MONOCHROME 0x0001
#define LR_LOADFROMFILE 0x0010
#define LR_DEFAULTSIZE 0x0040
#define LR_SHARED 0x8000

// The system's cursors and icons, loaded with a null instance.
#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDC_IBEAM MAKEINTRESOURCE(32513)
#define IDC_WAIT MAKEINTRESOURCE(32514)
#define IDC_CROSS MAKEINTRESOURCE(32515)
#define IDC_UPARROW MAKEINTRESOURCE(32516)
#define IDC_APPSTARTING MAKEINTRESOURCE(32650)
#define IDI_APPLICATION MAKEINTRESOURCE(32512)
#define IDI_HAND MAKEINTRESOURCE(32513)
#define IDI_QUESTION MAKEINTRESOURCE(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCE(32515)
#define IDI_ASTERISK MAKEINTRESOURCE(32516)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

// With cchBufferMax 0, *(LPCWSTR*)lpBuffer receives a read-only pointer to the text and the
// result is its length; the text is not necessarily terminated.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
HANDLE LoadImageW(HINSTANCE hinst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired,
                  UINT fuLoad);
HBITMAP LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName);
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
BOOL DestroyIcon(HICON hIcon);
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);
BOOL DestroyCursor(HCURSOR hCursor);
// The cursor shows on the whole screen; the previous one is returned.
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();

#define LoadString LoadStringW
#define LoadMenu LoadMenuW
#define LoadImage LoadImageW
#define LoadBitmap LoadBitmapW
#define LoadIcon LoadIconW
#define LoadCursor LoadCursorW
