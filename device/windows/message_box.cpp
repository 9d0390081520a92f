// coredll: MessageBoxW. The box is a top-most window on the device screen for as long as it is
// open; the person answers it (person.h) and the box, with its answer, goes to the journal.
#include <mutex>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "person/person.h"
#include "windows/window_system.h"

namespace {

constexpr WCHAR kBoxClass[] = u"Dialog";

// The box's sizes at 96 dots per inch; like the system metrics they grow with the profile's dpi.
int Scaled(int at96) { return at96 * pellix::device::Device::Get().profile().dpi / 96; }
int BoxHeight() { return Scaled(110); }

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

// What the box shows, kept by MessageBoxW for as long as the box is open.
struct BoxContent {
  std::u16string text;
  UINT type = 0;
};

std::u16string ButtonLabels(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return u"OK      Cancel";
    case MB_ABORTRETRYIGNORE: return u"Abort      Retry      Ignore";
    case MB_YESNOCANCEL: return u"Yes      No      Cancel";
    case MB_YESNO: return u"Yes      No";
    case MB_RETRYCANCEL: return u"Retry      Cancel";
    default: return u"OK";
  }
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  auto* content = reinterpret_cast<const BoxContent*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (dc && content) {
    RECT client;
    GetClientRect(hwnd, &client);
    SetBkMode(dc, TRANSPARENT);
    RECT body{client.left + Scaled(8), client.top + Scaled(8), client.right - Scaled(8), client.bottom - Scaled(28)};
    DrawTextW(dc, content->text.c_str(), -1, &body, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    RECT buttons{client.left, client.bottom - Scaled(24), client.right, client.bottom - Scaled(4)};
    std::u16string labels = ButtonLabels(content->type);
    DrawTextW(dc, labels.c_str(), -1, &buttons, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    Paint(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void EnsureClass() {
  WNDCLASSW existing;
  if (GetClassInfoW(nullptr, kBoxClass, &existing)) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kBoxClass;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassW(&wc);
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  using namespace pellix::device;
  std::u16string body = text ? text : u"";
  std::u16string title = caption ? caption : u"Error";

  EnsureClass();
  const Profile& profile = Device::Get().profile();
  const int margin = Scaled(10), height = BoxHeight();
  int width = profile.screen_width - 2 * margin;
  int y = (profile.screen_height - height) / 2;
  BoxContent content{body, type};
  HWND box = CreateWindowExW(WS_EX_TOPMOST, kBoxClass, title.c_str(), WS_POPUP | WS_CAPTION,
                             margin, y, width, height, IsWindow(owner) ? owner : nullptr, nullptr,
                             nullptr, nullptr);
  if (box) {
    SetWindowLongPtrW(box, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&content));
    ShowWindow(box, SW_SHOW);
    UpdateWindow(box);
  }

  OpenMessageBox open{box, title, body, type};
  int answer = Person::Get().AnswerBox(open, DefaultButton(type));
  if (box) DestroyWindow(box);

  Device::Get().journal().Append(journal_kind::kMessageBox,
                                 "caption=\"" + Utf16ToUtf8(title) + "\" text=\"" +
                                     Utf16ToUtf8(body) + "\" answer=" + ButtonName(answer));
  return answer;
}

BOOL MessageBeep(UINT) { return TRUE; }
