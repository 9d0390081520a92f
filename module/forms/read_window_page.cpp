// The read window's page: what its links, pictures and menus do, and the smileys' animation.
#include "forms/read_window.h"

#include <htmlctrl.h>
#include <objidl.h>
#include <shellapi.h>

#include <cstdlib>

#include "forms/number_menu.h"
#include "forms/open_form.h"
#include "render/smiley_table.h"
#include "resources/resource.h"
#include "rule/contact_lookup.h"
#include "rule/module_entry.h"

namespace {

const UINT kShellExecuteSize = 60;

}  // namespace

LRESULT ReadWindow::OnHotspot(LPCWSTR target) {
  FreeReadWindowLink();
  if (!target) target = TEXT("");
  if (wcsstr(target, TEXT("http://"))) {
    SHELLEXECUTEINFO info = {};
    info.cbSize = kShellExecuteSize;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = target;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteEx(&info);
    if (info.hProcess) CloseHandle(info.hProcess);
  } else if (wcschr(target, TEXT('@'))) {
    const size_t cch = wcslen(target) + 20;
    g_pszReadWindowLink = static_cast<LPWSTR>(calloc(cch, sizeof(WCHAR)));
    if (g_pszReadWindowLink) {
      StringCchCopyW(g_pszReadWindowLink, cch, TEXT("mailto:"));
      StringCchCatW(g_pszReadWindowLink, cch, target);
      MAILCOMPOSEFIELDS fields = {};
      fields.cbSize = MAILCOMPOSEFIELDS_SIZE;
      fields.dwFlags = MCF_ACCOUNT_IS_TRANSPORT;
      fields.pszTo = g_pszReadWindowLink;
      MailComposeMessage(&fields);
    }
  } else {
    // Anything else is taken for a telephone number.
    g_pszReadWindowLink = _wcsdup(target);
    TrackNumberMenu(m_hWnd, g_ptReadWindowTap);
  }
  return 0;
}

LRESULT ReadWindow::OnInlineImage(HWND view, LPCWSTR source, DWORD cookie) {
  PICTURE* picture = GetSmileyImage(source);
  if (picture && source && wcschr(source, TEXT('.'))) m_ownPictures.push_back(picture);
  if (picture) {
    if (IsWindow(view)) {
      INLINEIMAGEINFO image = {};
      image.dwCookie = cookie;
      image.iOrigHeight = picture->height;
      image.iOrigWidth = picture->width;
      image.hbm = picture->hBitmap;
      image.bOwnBitmap = FALSE;
      SendMessageW(view, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&image));
    }
  } else {
    SendMessageW(view, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(cookie));
  }
  return 1;
}

LRESULT ReadWindow::OnNotify(const NMHDR* header) {
  if (!header) return 0;
  switch (header->code) {
    case NM_HOTSPOT:
      return OnHotspot(reinterpret_cast<const NM_HTMLVIEW*>(header)->szTarget);
    case NM_INLINE_IMAGE: {
      const NM_HTMLVIEW* view = reinterpret_cast<const NM_HTMLVIEW*>(header);
      return OnInlineImage(header->hwndFrom, view->szTarget, view->dwCookie);
    }
    case NM_CONTEXTMENU: {
      const NM_HTMLCONTEXT* context = reinterpret_cast<const NM_HTMLCONTEXT*>(header);
      HMENU menu = LoadMenuW(ModuleInstance(), MAKEINTRESOURCE(IDR_MENU_CONTEXT));
      if (menu) {
        if (HMENU popup = GetSubMenu(menu, 0))
          TrackPopupMenuEx(popup, 0, context->pt.x, context->pt.y, m_hWnd, nullptr);
        DestroyMenu(menu);
      }
      return 1;
    }
    default:
      return 0;
  }
}

void ReadWindow::CopySelection() {
  DWORD zero = 0;
  IStream* stream = nullptr;
  SendMessageW(m_hHtmlView, DTM_COPYSELECTIONTONEWISTREAM, reinterpret_cast<WPARAM>(&zero),
               reinterpret_cast<LPARAM>(&stream));
  if (!stream) return;
  STATSTG stat = {};
  if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
    const ULONG size = static_cast<ULONG>(stat.cbSize.QuadPart);
    HLOCAL buffer = LocalAlloc(LPTR, static_cast<SIZE_T>(size) + 2);
    ULONG read = 0;
    BOOL handed = FALSE;
    if (buffer && SUCCEEDED(stream->Read(buffer, size, &read)) && read != 0 && OpenClipboard(nullptr)) {
      EmptyClipboard();
      handed = SetClipboardData(CF_UNICODETEXT, buffer) != nullptr;
      CloseClipboard();
    }
    // The clipboard owns what it took; anything else is still ours.
    if (buffer && !handed) LocalFree(buffer);
  }
  stream->Release();
}

void ReadWindow::OnCommand(WORD command) {
  switch (command) {
    case IDM_SAVE_TO_CONTACTS:
      if (g_pszReadWindowLink) SaveNumberToContacts(g_pszReadWindowLink);
      FreeReadWindowLink();
      break;
    case IDM_SEND_SMS: {
      MAILCOMPOSEFIELDS fields = {};
      fields.cbSize = MAILCOMPOSEFIELDS_SIZE;
      fields.dwFlags = MCF_ACCOUNT_IS_NAME;
      fields.pszTo = g_pszReadWindowLink;
      fields.pszAccount = TEXT("SMS");
      MailComposeMessage(&fields);
      break;
    }
    case IDM_SELECT_ALL:
      SendMessageW(m_hHtmlView, DTM_SELECTALL, 0, 0);
      break;
    case IDM_COPY:
      CopySelection();
      break;
    default:
      break;
  }
}

LRESULT ReadWindow::AnimationTick() {
  if (g_SmileyTable) {
    LockSmileyAnimation();
    for (LONG i = 0; i < g_SmileyCount; ++i) {
      PICTURE* picture = g_SmileyTable[i].picture;
      if (!picture) continue;
      // The next frame of an animated picture (its kept bits after the first round); a still
      // picture is drawn into its bitmap again.
      if (picture->frameCount >= 2)
        StepPictureFrame(picture);
      else
        RedrawPicture(picture);
    }
    UnlockSmileyAnimation();
  }
  // The view draws the bitmaps it does not own again once it is shown anew.
  ShowWindow(m_hHtmlView, SW_HIDE);
  ShowWindow(m_hHtmlView, SW_SHOWNORMAL);
  return 0;
}
