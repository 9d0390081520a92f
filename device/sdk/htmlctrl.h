// The HTML view control of "htmlview.dll": window class, messages, notifications and records.
// Load the library by name and call its ordinal 1 (InitHTMLControl) once before creating views.
#pragma once

#include <windows.h>

#define DISPLAYCLASS TEXT("DISPLAYCLASS")
#define WC_HTML DISPLAYCLASS

// Messages to the view.
#define DTM_ADDTEXT (WM_USER + 101)
#define DTM_ADDTEXTW (WM_USER + 102)
#define DTM_SETIMAGE (WM_USER + 103)
#define DTM_ENDOFSOURCE (WM_USER + 104)
#define DTM_ANCHOR (WM_USER + 105)
#define DTM_ANCHORW (WM_USER + 106)
#define DTM_ENABLESHRINK (WM_USER + 107)
#define DTM_SCROLLINTOVIEW (WM_USER + 108)
#define DTM_IMAGEFAIL (WM_USER + 109)
#define DTM_ENABLECONTEXTMENU (WM_USER + 110)
#define DTM_SELECTALL (WM_USER + 111)
#define DTM_ISSELECTION (WM_USER + 112)
#define DTM_CLEAR (WM_USER + 113)
#define DTM_ENABLECLEARTYPE (WM_USER + 114)
#define DTM_ENABLESCRIPTING (WM_USER + 115)
#define DTM_ZOOMLEVEL (WM_USER + 116)
#define DTM_LAYOUTWIDTH (WM_USER + 117)
#define DTM_LAYOUTHEIGHT (WM_USER + 118)
// wParam: pointer to a zeroed DWORD; lParam: IStream** that receives a stream of the selected
// text as UTF-16 (no terminator). The caller releases the stream.
#define DTM_COPYSELECTIONTONEWISTREAM (WM_USER + 119)
#define DTM_ADDSTYLE (WM_USER + 126)

// Notifications to the parent (WM_NOTIFY), idFrom being the view's control id.
#define NM_HOTSPOT (WM_USER + 101)
#define NM_INLINE_IMAGE (WM_USER + 102)
#define NM_INLINE_SOUND (WM_USER + 103)
#define NM_TITLE (WM_USER + 104)
#define NM_META (WM_USER + 105)
#define NM_BASE (WM_USER + 106)
#define NM_CONTEXTMENU (WM_USER + 107)
#define NM_INLINE_XML (WM_USER + 108)
#define NM_BEFORENAVIGATE (WM_USER + 109)
#define NM_DOCUMENTCOMPLETE (WM_USER + 110)
#define NM_NAVIGATECOMPLETE (WM_USER + 111)
#define NM_TITLECHANGE (WM_USER + 112)

// Styles of the view window.
#define HS_NOSCROLL 0x0002
#define HS_CONTEXTMENU 0x0008
#define HS_CLEARTYPE 0x0040
#define HS_NOSELECTION 0x0080

// The answer to NM_INLINE_IMAGE. The view draws hbm until the document is cleared; it deletes
// the bitmap itself only when bOwnBitmap is TRUE.
typedef struct _INLINEIMAGEINFO {
  DWORD dwCookie;
  int iOrigHeight;
  int iOrigWidth;
  HBITMAP hbm;
  BOOL bOwnBitmap;
} INLINEIMAGEINFO, *LPINLINEIMAGEINFO;

// NM_HOTSPOT and NM_INLINE_IMAGE. szTarget is the link's href or the picture's source name;
// the strings live until the notification returns.
typedef struct tagNM_HTMLVIEWW {
  NMHDR hdr;
  LPCWSTR szTarget;
  LPCWSTR szData;
  DWORD dwCookie;
  DWORD dwFlags;
} NM_HTMLVIEWW, NM_HTMLVIEW, *LPNM_HTMLVIEW;

// NM_CONTEXTMENU: pt is the tap point in screen coordinates.
typedef struct tagNM_HTMLCONTEXT {
  NMHDR hdr;
  POINT pt;
  LPWSTR szLinkHREF;
  LPWSTR szLinkName;
  DWORD dwFlags;
  DWORD dwImageCookie;
  DWORD dwReserved2;
} NM_HTMLCONTEXT, *LPNM_HTMLCONTEXT;

// Ordinal 1 of htmlview.dll: registers DISPLAYCLASS. Returns TRUE on success.
BOOL InitHTMLControl(HINSTANCE hinst);
