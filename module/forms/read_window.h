// The read window: what the person sees on opening an SMS. A header band says when the message
// was sent and who sent it (or to whom it went), with the sender's contact picture; below it an
// HTML view shows the text with smiley pictures and links. Links open the browser, a new e-mail
// or the number menu; a context menu offers Select All and Copy; the smileys are animated while
// the window shows them.
//
// Threads: the Inbox's user-interface thread. The bubble thread reads g_hOpenFormWindow and
// g_bReadWindowAnimating (forms/open_form.h) and sends the window WM_CLOSEOPENFORM; the other
// process-wide values below belong to the user-interface thread.
#pragma once

#include <windows.h>
#include <cemapi.h>
#include <inboxform.h>

#include <string>
#include <vector>

#include "forms/form_window.h"
#include "forms/picture.h"

class CMsgForm;

#define READ_WINDOW_CLASS TEXT("PELLIXREADWINDOWCLASS")
#define READ_WINDOW_TITLE TEXT("Halvane")
#define READ_ANIMATION_TIMER 2
// The SMS text is cut to this many characters, terminator included, before it becomes a page.
#define READ_BODY_CCH 2000
#define READ_HTML_STYLE 0x5400000A  // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, the view's 0x0A

// Where the person last pressed the stylus in a read window's HTML view (screen coordinates);
// the number menu opens there.
extern POINT g_ptReadWindowTap;
// The last tapped link that is not a web address: a number, or "mailto:" and an address.
extern LPWSTR g_pszReadWindowLink;

// Frees the saved link target (g_pszReadWindowLink) and forgets it.
void FreeReadWindowLink();

// The number in a sender address: from its first '+' or digit on; null when it has none.
LPCWSTR FindNumberStart(LPCWSTR address);

class ReadWindow final : public CFormWindow {
 public:
  // AddRefs the provider and both messages.
  ReadWindow(IInboxFormProvider* provider, CMsgForm* form, IMessage* initial, IMessage* current);
  ~ReadWindow() override;
  ReadWindow(const ReadWindow&) = delete;
  ReadWindow& operator=(const ReadWindow&) = delete;

  HRESULT Initialize(INBOXFORMCREATE* create) override;
  BOOL Create(HWND frame, HWND* window) override;
  BOOL PreTranslate(MSG* msg) override;
  void Show(int command) override;
  HRESULT SetMessage(WORD value16, IMessage* message) override;
  LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual BOOL RegisterAndCreate(LPCWSTR className, LPCWSTR title, DWORD style, const RECT* rect, HWND parent,
                                 HMENU menu);

  // What the window shows (tests).
  HWND Window() const { return m_hWnd; }
  HWND HtmlView() const { return m_hHtmlView; }
  const std::u16string& SentLine() const { return m_line1; }
  const std::u16string& PartyLine() const { return m_line2; }
  HBITMAP Picture() const { return m_hPicture; }
  LONG PictureWidth() const { return m_lPictureWidth; }
  LONG PictureHeight() const { return m_lPictureHeight; }

 private:
  void Load();
  void Layout();
  void PaintHeader(HDC dc);
  void ReadPartyLine(IMessage* message, const SPropValue* sender, const SPropValue* flags);
  void LoadPicture(const SPropValue* sender);
  LRESULT OnNotify(const NMHDR* header);
  LRESULT OnHotspot(LPCWSTR target);
  LRESULT OnInlineImage(HWND view, LPCWSTR source, DWORD cookie);
  void OnCommand(WORD command);
  void CopySelection();
  LRESULT AnimationTick();
  void FreeOwnPictures();

  HWND m_hWnd = nullptr;
  HWND m_hHtmlView = nullptr;
  std::u16string m_line1;  // "Sent: ..."
  std::u16string m_line2;  // "From: ..." or "To: ..."
  IMessage* m_pInitial;    // owned
  IMessage* m_pCurrent;    // owned; the message shown
  CMsgForm* m_pForm;       // the owner; not counted
  HWND m_hwndFrame = nullptr;
  IInboxFormProvider* m_pProvider;  // owned
  HBITMAP m_hPicture = nullptr;     // owned
  LONG m_lPictureHeight = 0;
  LONG m_lPictureWidth = 0;
  // Pictures the page names by file rather than by smiley: the view draws them until the page
  // is replaced, and does not own them.
  std::vector<PICTURE*> m_ownPictures;
};
