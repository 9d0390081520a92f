// smsforms.dll: the read form. The form window paints the header (who sent it, when) and
// holds the text in a read-only box that the person can scroll, select and copy from.
#include <algorithm>

#include "inbox/sms_forms.h"

namespace pellix::device::inbox {
namespace {

constexpr int kMargin = 4;

bool RegisterReadClass(WNDPROC proc) {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kReadFormClass, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kReadFormClass;
  return RegisterClassW(&wc) != 0;
}

int LineHeight(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return std::max<int>(1, tm.tmHeight);
}

// The sender's number: the address from its first "+" or digit on (a stored address may carry
// a quoted name before the number).
std::u16string DialableOf(const std::u16string& address) {
  size_t at = address.find_first_of(u"+0123456789");
  return at == std::u16string::npos ? std::u16string() : address.substr(at);
}

}  // namespace

SmsReadForm::SmsReadForm(IInboxFormHost* host, IMessage* message) : host_(host), initial_(message) {
  if (initial_) initial_->AddRef();
}

SmsReadForm::~SmsReadForm() {
  if (current_) current_->Release();
  if (initial_) initial_->Release();
}

void* SmsReadForm::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IInboxMessageForm) ? static_cast<IInboxMessageForm*>(this) : nullptr;
}

STDMETHODIMP SmsReadForm::SetMessage(WORD, IMessage* message) {
  if (message == nullptr) return E_INVALIDARG;
  message->AddRef();
  if (current_) current_->Release();
  current_ = message;
  if (window_) Load();
  return S_OK;
}

void SmsReadForm::Load() {
  const std::u16string sender = ReadText(current_, PR_SENDER_EMAIL_ADDRESS_W);
  const std::u16string number = DialableOf(sender);
  const std::u16string name = ContactNameFor(number.empty() ? sender : number);
  sender_line_ = u"From: " + (name.empty() ? sender : name + u" <" + number + u">");
  time_line_.clear();
  if (current_) {
    SizedSPropTagArray(1, tags) = {1, {PR_MESSAGE_DELIVERY_TIME}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    if (SUCCEEDED(current_->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values)) && values &&
        PROP_TYPE(values[0].ulPropTag) == PT_SYSTIME) {
      const FILETIME& ft = values[0].Value.ft;
      time_line_ = FormatMessageTime((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    }
    MAPIFreeBuffer(values);
  }
  SetWindowTextW(body_, ReadText(current_, PR_SUBJECT_W).c_str());
  InvalidateRect(window_, nullptr, TRUE);
}

STDMETHODIMP SmsReadForm::CreateFormWindow(IInboxFormProvider*, HWND frame, HWND* window, INBOXFORMCREATE*) {
  if (!RegisterReadClass(&SmsReadForm::WindowProc)) return E_FAIL;
  frame_ = frame;
  RECT client{};
  if (frame) GetClientRect(frame, &client);
  HWND hwnd = CreateWindowExW(0, kReadFormClass, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                              client.right, client.bottom, frame, nullptr, nullptr, this);
  if (!hwnd) return E_FAIL;
  if (window) *window = hwnd;
  if (!current_) SetMessage(0, initial_);
  Load();
  SetFocus(body_);
  return S_OK;
}

LRESULT CALLBACK SmsReadForm::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* form = static_cast<SmsReadForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->AddRef();  // the window keeps its form alive
    form->window_ = hwnd;
    form->header_height_ = 2 * LineHeight(hwnd) + 2 * kMargin + 1;
    form->body_ = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                                  0, 0, 1, 1, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdBody)),
                                  nullptr, nullptr);
    form->Layout();
    return 0;
  }
  auto* form = reinterpret_cast<SmsReadForm*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (!form) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SIZE:
      form->Layout();
      return 0;
    case WM_PAINT:
      form->Paint();
      return 0;
    case WM_SETFOCUS:
      if (form->body_) SetFocus(form->body_);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      form->window_ = nullptr;
      form->body_ = nullptr;
      form->Release();
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void SmsReadForm::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  MoveWindow(body_, 0, header_height_, client.right, std::max<int>(0, client.bottom - header_height_), TRUE);
}

void SmsReadForm::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client{};
  GetClientRect(window_, &client);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const int line = (header_height_ - 2 * kMargin - 1) / 2;
  RECT first{kMargin, kMargin, client.right - kMargin, kMargin + line};
  DrawTextW(dc, sender_line_.c_str(), -1, &first, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  RECT second{kMargin, kMargin + line, client.right - kMargin, kMargin + 2 * line};
  SetTextColor(dc, RGB(0x60, 0x60, 0x60));
  DrawTextW(dc, time_line_.c_str(), -1, &second, DT_SINGLELINE | DT_NOPREFIX);
  RECT rule{0, header_height_ - 1, client.right, header_height_};
  FillRect(dc, &rule, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  SelectObject(dc, old);
  EndPaint(window_, &ps);
}

STDMETHODIMP SmsReadForm::Close(DWORD) {
  if (host_) host_->OnFormClosing(this, initial_, 0);
  if (frame_) SendMessageW(frame_, WM_CLOSE, 0, 0);
  return S_OK;
}

STDMETHODIMP SmsReadForm::CloseFrame() {
  if (frame_) SendMessageW(frame_, WM_CLOSE, 0, 0);
  return S_OK;
}

void SmsReadForm::CallSender() {
  const std::u16string number = DialableOf(ReadText(current_, PR_SENDER_EMAIL_ADDRESS_W));
  if (number.empty()) return;
  HMODULE cellcore = LoadLibraryW(u"cellcore.dll");
  if (!cellcore) return;
  using RequestCall = LONG (*)(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR);
  if (auto call = reinterpret_cast<RequestCall>(GetProcAddressW(cellcore, MAKEINTRESOURCEW(110))))
    call(number.c_str(), nullptr, nullptr, nullptr);
  FreeLibrary(cellcore);
}

STDMETHODIMP SmsReadForm::PreTranslateMessage(MSG* msg, BOOL* handled) {
  if (handled) *handled = FALSE;
  if (msg == nullptr || msg->message != WM_KEYDOWN) return S_OK;
  // Only keys meant for this form's window or its text box.
  if (msg->hwnd != window_ && msg->hwnd != body_) return S_OK;
  switch (msg->wParam) {
    case VK_LEFT:
      if (host_) host_->DoHostAction(this, initial_, IFHA_PREVIOUS, 0);
      break;
    case VK_RIGHT:
      if (host_) host_->DoHostAction(this, initial_, IFHA_NEXT, 0);
      break;
    case VK_F3:  // the Talk key calls the sender
      CallSender();
      break;
    default:
      return S_OK;
  }
  if (handled) *handled = TRUE;
  return S_OK;
}

STDMETHODIMP SmsReadForm::OnMessageModified(ULONG, ULONG, LPENTRYID) {
  if (window_) Load();
  return S_OK;
}

STDMETHODIMP SmsReadForm::DoAction(UINT action, WPARAM, LPARAM) {
  switch (action) {
    case IFA_CLOSE: return Close(0);
    case IFA_DELETE: return host_ ? host_->DoHostAction(this, current_, IFHA_DELETE, 0) : E_FAIL;
    case IFA_REPLY: return host_ ? host_->DoHostAction(this, current_, IFHA_REPLY, 0) : E_FAIL;
    case IFA_FORWARD: return host_ ? host_->DoHostAction(this, current_, IFHA_FORWARD, 0) : E_FAIL;
    default: return S_OK;
  }
}

STDMETHODIMP SmsReadForm::GetActionMask(DWORD mask, DWORD* result) {
  if (result == nullptr) return E_POINTER;
  *result = mask & (IFAM_CLOSE | IFAM_DELETE | IFAM_REPLY | IFAM_FORWARD);
  return S_OK;
}

}  // namespace pellix::device::inbox
