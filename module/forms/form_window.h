// The pattern the read window and the compose window share: a C++ object behind one window
// class, whose class procedure (FormWindowRouter) finds the object in the window's user data
// and hands it every message.
//
// Threads: the Inbox's user-interface thread, which owns the form windows.
#pragma once

#include <windows.h>
#include <cemapi.h>
#include <inboxform.h>

// Operations in the platform form windows' slot order; each form window adds its own after
// these.
class CFormWindow {
 public:
  // Takes the form's creation record; the forms accept it and keep nothing of it.
  virtual HRESULT Initialize(INBOXFORMCREATE* create) = 0;
  // Creates the window as a child of `frame` (or brings an existing one forward).
  virtual BOOL Create(HWND frame, HWND* window) = 0;
  // Offered each message of the Inbox's loop; TRUE when the window kept it.
  virtual BOOL PreTranslate(MSG* msg) = 0;
  virtual void Show(int command) = 0;
  virtual HRESULT SetMessage(WORD value16, IMessage* message) = 0;
  virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;

  virtual ~CFormWindow() = default;
};

// The class procedure of every form window. WM_CREATE's creation parameter is the object: it is
// kept in GWL_USERDATA (creation fails without one) and gets every later message; a window
// whose object has gone answers 0.
inline LRESULT CALLBACK FormWindowRouter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    CFormWindow* object = create ? static_cast<CFormWindow*>(create->lpCreateParams) : nullptr;
    if (!object) return -1;
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(object));
  }
  CFormWindow* object = reinterpret_cast<CFormWindow*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (!object) return 0;
  return object->WindowProc(hwnd, message, wParam, lParam);
}
