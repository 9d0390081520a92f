// coredll: MessageBoxW. The box is a top-most window on the device screen for as long as it is
// open; the person answers it (person.h) and the box, with its answer, goes to the journal.
#include <mutex>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "person/person.h"
#include "windows/window_system.h"

namespace {

constexpr WCHAR kBoxClass[] = u"Dialog";
constexpr int kBoxHeight = 110;

// The button answered when the person takes the default: the type's first button, or the
// second or third with MB_DEFBUTTON2 / MB_DEFBUTTON3.
int DefaultButton(UINT type) {
  static const int kButtons[][3] = {
      {IDOK, IDOK, IDOK},            {IDOK, IDCANCEL, IDOK},   {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL},       {IDYES, IDNO, IDYES},     {IDRETRY, IDCANCEL, IDRETRY},
  };
  UINT kind = type & MB_TYPEMASK;
  if (kind > MB_RETRYCANCEL) kind = MB_OK;
  UINT which = (type & MB_DEFMASK) >> 8;
  if (which > 2) which = 0;
  return kButtons[kind][which];
}

const char* ButtonName(int id) {
  switch (id) {
    case IDOK: return "IDOK";
    case IDCANCEL: return "IDCANCEL";
    case IDABORT: return "IDABORT";
    case IDRETRY: return "IDRETRY";
    case IDIGNORE: return "IDIGNORE";
    case IDYES: return "IDYES";
    case IDNO: return "IDNO";
    default: return "?";
  }
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void EnsureClass() {
  WNDCLASSW existing;
  if (GetClassInfoW(nullptr, kBoxClass, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kBoxClass;
  RegisterClassW(&wc);
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  using namespace pellix::device;
  std::u16string body = text ? text : u"";
  std::u16string title = caption ? caption : u"Error";

  EnsureClass();
  const Profile& profile = Device::Get().profile();
  int width = profile.screen_width - 20;
  int y = (profile.screen_height - kBoxHeight) / 2;
  HWND box = CreateWindowExW(WS_EX_TOPMOST, kBoxClass, title.c_str(),
                             WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, y, width, kBoxHeight,
                             IsWindow(owner) ? owner : nullptr, nullptr, nullptr, nullptr);
  UpdateWindow(box);

  OpenMessageBox open{box, title, body, type};
  int answer = Person::Get().AnswerBox(open, DefaultButton(type));
  if (box) DestroyWindow(box);

  Device::Get().journal().Append(journal_kind::kMessageBox,
                                 "caption=\"" + Utf16ToUtf8(title) + "\" text=\"" +
                                     Utf16ToUtf8(body) + "\" answer=" + ButtonName(answer));
  return answer;
}

BOOL MessageBeep(UINT) { return TRUE; }
