// The shell's application helpers: notifications, menu bars, activation handling.
#pragma once

#include <windows.h>
#include <shellapi.h>

// ---- Notifications ----------------------------------------------------------------------

typedef enum _SHNP {
  SHNP_INFORM = 0x1B1,  // a bubble the person sees
  SHNP_ICONIC = 0x1B2,  // an icon in the title bar only
} SHNP;

#define SHNF_STRAIGHTTOTRAY 0x00000001
#define SHNF_CRITICAL 0x00000002
#define SHNF_FORCEMESSAGE 0x00000008
#define SHNF_DISPLAYON 0x00000010
#define SHNF_SILENT 0x00000020
#define SHNF_HASMENU 0x00000040
#define SHNF_TITLETIME 0x00000080
#define SHNF_SPINNERS 0x00000100
#define SHNF_ALERTONUPDATE 0x00000200

// Masks of SHNotificationUpdate.
#define SHNUM_PRIORITY 0x0001
#define SHNUM_DURATION 0x0002
#define SHNUM_ICON 0x0004
#define SHNUM_HTML 0x0008
#define SHNUM_TITLE 0x0010
#define SHNUM_SOFTKEYS 0x0020
#define SHNUM_TODAYKEY 0x0040
#define SHNUM_TODAYEXEC 0x0080
#define SHNUM_SOFTKEYCMDS 0x0100
#define SHNUM_FLAGS 0x0200

// Codes of the WM_NOTIFY the notification manager sends a sink (hwndFrom NULL, idFrom dwID).
#define SHNN_FIRST (0U - 1000U)
#define SHNN_LINKSEL (SHNN_FIRST - 0)
#define SHNN_DISMISS (SHNN_FIRST - 1)
#define SHNN_SHOW (SHNN_FIRST - 2)
#define SHNN_NAVPREV (SHNN_FIRST - 3)
#define SHNN_NAVNEXT (SHNN_FIRST - 4)
#define SHNN_ACTIVATE (SHNN_FIRST - 5)
#define SHNN_ICONCLICKED (SHNN_FIRST - 6)
#define SHNN_HOTKEY (SHNN_FIRST - 7)

typedef struct _NMSHN {
  NMHDR hdr;
  LPARAM lParam;
  DWORD dwReturn;
  union {
    LPCWSTR pszLink;
    BOOL fTimeout;
    POINT pt;
  };
} NMSHN, *LPNMSHN;

// A soft key's command, and what the bubble does after it (flags below).
typedef struct _SOFTKEYCMD {
  WPARAM wpCmd;
  DWORD grfFlags;
} SOFTKEYCMD;

#define NOTIF_SOFTKEY_FLAGS_DISMISS 0x0000
#define NOTIF_SOFTKEY_FLAGS_HIDE 0x0001
#define NOTIF_SOFTKEY_FLAGS_STAYOPEN 0x0002
#define NOTIF_SOFTKEY_FLAGS_SUBMIT_FORM 0x0004
#define NOTIF_SOFTKEY_FLAGS_DISABLED 0x0008

typedef struct _SOFTKEYMENU {
  HMENU hMenu;
  SOFTKEYCMD* prgskc;
  UINT cskc;
} SOFTKEYMENU;

#define NOTIF_NUM_SOFTKEYS 2

typedef struct _SOFTKEYNOTIFY {
  LPCWSTR pszTitle;
  SOFTKEYCMD skc;
} SOFTKEYNOTIFY;

#ifndef ERROR_NOT_FOUND
#define ERROR_NOT_FOUND 1168L
#endif

// cbStruct is 88 on the device, whatever sizeof says on the host.
#define SHNOTIFICATIONDATA_CBSTRUCT 88

typedef struct _SHNOTIFICATIONDATA {
  DWORD cbStruct;
  DWORD dwID;
  SHNP npPriority;
  DWORD csDuration;  // seconds the bubble stays; 0xFFFFFFFF for ever
  HICON hicon;
  DWORD grfFlags;
  CLSID clsid;
  HWND hwndSink;
  LPCWSTR pszHTML;
  LPCWSTR pszTitle;
  LPARAM lParam;
  union {
    SOFTKEYMENU skm;
    SOFTKEYNOTIFY rgskn[NOTIF_NUM_SOFTKEYS];
  };
  LPCWSTR pszTodaySK;
  LPCWSTR pszTodayExec;
} SHNOTIFICATIONDATA, *PSHNOTIFICATIONDATA;

// Adds a notification, keyed by (clsid, dwID). The strings and soft-key arrays are copied.
// Results: ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_ALREADY_EXISTS.
LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* pndAdd);
// Changes the fields named by the mask. ERROR_NOT_FOUND for an unknown notification.
LRESULT SHNotificationUpdate(DWORD grnumUpdateMask, SHNOTIFICATIONDATA* pndNew);
// Takes the notification off the screen and the title bar. ERROR_NOT_FOUND when unknown.
LRESULT SHNotificationRemove(const CLSID* pclsid, DWORD dwID);
// Copies a notification's data; the strings point into the manager's copies.
LRESULT SHNotificationGetData(const CLSID* pclsid, DWORD dwID, SHNOTIFICATIONDATA* pndBuffer);

// ---- Menu bars ---------------------------------------------------------------------------

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

// cbSize is 36 on the device.
typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // with SHCMBF_HMENU: a menu resource of hInstRes
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the menu bar window
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// The menu bar window's class.
#define MENUBAR_CLASSNAME TEXT("menu_worker")

// Messages to a menu bar.
#define SHCMBM_SETSUBMENU (WM_USER + 400)
#define SHCMBM_GETSUBMENU (WM_USER + 401)
#define SHCMBM_GETMENU (WM_USER + 402)
#define SHCMBM_OVERRIDEKEY (WM_USER + 403)

// Creates a menu bar at the bottom of the screen: the menu's first item is the left soft key,
// its second (a pop-up) the right one. Commands reach hwndParent as WM_COMMAND.
BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi);

// ---- Activation --------------------------------------------------------------------------

typedef struct tagSHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

#define SHA_INPUTDIALOG 0x00000001

// Ordinal 84: keeps the input panel and focus right across WM_ACTIVATE.
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai, DWORD dwFlags);
// Ordinal 83: resizes a full-screen window for the input panel on WM_SETTINGCHANGE.
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* psai);

// The wParam of WM_SETTINGCHANGE when the screen is reset (rotation, resolution).
#define SETTINGCHANGE_RESET 0x3002

// Registers the shell's extra control classes. Always TRUE.
BOOL SHInitExtraControls();
