// smsforms.dll: the compose form. A "To:" line and a text box fill the frame; the form's own
// menu bar offers Send on the left soft key and a menu with Send and Cancel on the right one.
// Send writes the text and recipients into the message and submits it, which carries it
// through the Outbox into Sent Items; then the form closes.
#include <algorithm>
#include <vector>

#include "inbox/sms_forms.h"
#include "shell/menu_bar.h"

namespace pellix::device::inbox {
namespace {

constexpr int kMargin = 4;
constexpr char16_t kToLabel[] = u"To:";

bool RegisterComposeClass(WNDPROC proc) {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kComposeFormClass, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kComposeFormClass;
  return RegisterClassW(&wc) != 0;
}

std::u16string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

// "a; b, c" -> {"a", "b", "c"}: the person may name several recipients.
std::vector<std::u16string> SplitRecipients(const std::u16string& line) {
  std::vector<std::u16string> out;
  std::u16string current;
  auto flush = [&] {
    size_t a = current.find_first_not_of(u' ');
    size_t b = current.find_last_not_of(u' ');
    if (a != std::u16string::npos) out.push_back(current.substr(a, b - a + 1));
    current.clear();
  };
  for (char16_t c : line) {
    if (c == u';' || c == u',') flush(); else current += c;
  }
  flush();
  return out;
}

// The recipients stored on a message, joined for the "To:" line.
std::u16string RecipientLine(IMessage* message) {
  std::u16string line;
  IMAPITable* table = nullptr;
  if (FAILED(message->GetRecipientTable(0, &table)) || !table) return line;
  SizedSPropTagArray(1, columns) = {1, {PR_EMAIL_ADDRESS_W}};
  table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
  LPSRowSet rows = nullptr;
  while (SUCCEEDED(table->QueryRows(1, 0, &rows)) && rows && rows->cRows == 1) {
    const SPropValue& v = rows->aRow[0].lpProps[0];
    if (PROP_TYPE(v.ulPropTag) == PT_UNICODE && v.Value.lpszW) {
      if (!line.empty()) line += u"; ";
      line += v.Value.lpszW;
    }
    FreeProws(rows);
    rows = nullptr;
  }
  FreeProws(rows);
  table->Release();
  return line;
}

}  // namespace

SmsComposeForm::SmsComposeForm(IInboxFormHost* host, IMessage* message, ULONG compose_type, IMessage* original)
    : host_(host), message_(message), original_(original), compose_type_(compose_type) {
  if (message_) message_->AddRef();
  if (original_) original_->AddRef();
}

SmsComposeForm::~SmsComposeForm() {
  if (original_) original_->Release();
  if (message_) message_->Release();
}

void* SmsComposeForm::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IInboxMessageForm) ? static_cast<IInboxMessageForm*>(this) : nullptr;
}

STDMETHODIMP SmsComposeForm::SetMessage(WORD, IMessage* message) {
  if (message == nullptr) return E_INVALIDARG;
  message->AddRef();
  if (message_) message_->Release();
  message_ = message;
  if (window_) Fill();
  return S_OK;
}

// The recipients and text the message holds; a reply goes to the original's sender and a
// forward carries its text.
void SmsComposeForm::Fill() {
  std::u16string to = RecipientLine(message_);
  std::u16string text = ReadText(message_, PR_SUBJECT_W);
  if (original_ && compose_type_ == IFCT_REPLY && to.empty()) to = ReadText(original_, PR_SENDER_EMAIL_ADDRESS_W);
  if (original_ && compose_type_ == IFCT_FORWARD && text.empty()) text = ReadText(original_, PR_SUBJECT_W);
  SetWindowTextW(to_, to.c_str());
  SetWindowTextW(body_, text.c_str());
  // The person goes on where something is missing: the number first, else the text's end.
  if (to.empty()) {
    SetFocus(to_);
  } else {
    SetFocus(body_);
    SendMessageW(body_, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageW(body_, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
  }
}

STDMETHODIMP SmsComposeForm::CreateFormWindow(IInboxFormProvider*, HWND frame, HWND* window, INBOXFORMCREATE*) {
  if (!RegisterComposeClass(&SmsComposeForm::WindowProc)) return E_FAIL;
  frame_ = frame;
  RECT client{};
  if (frame) GetClientRect(frame, &client);
  HWND hwnd = CreateWindowExW(0, kComposeFormClass, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                              client.right, client.bottom, frame, nullptr, nullptr, this);
  if (!hwnd) return E_FAIL;
  if (window) *window = hwnd;
  HMENU bar = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, kIdSend, u"Send");
  AppendMenuW(popup, MF_STRING, kIdCancel, u"Cancel");
  AppendMenuW(bar, MF_STRING, kIdSend, u"Send");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  bar_ = shell::CreateMenuBarWindow(hwnd, bar, true, true);
  if (host_) host_->SetFrameTitle(u"New Text Message");
  Fill();
  return S_OK;
}

LRESULT CALLBACK SmsComposeForm::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* form = static_cast<SmsComposeForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->AddRef();  // the window keeps its form alive
    form->window_ = hwnd;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    form->line_height_ = std::max<int>(1, tm.tmHeight);
    auto id = [](int value) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(value)); };
    form->to_ = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                                0, 0, 1, 1, hwnd, id(kIdRecipient), nullptr, nullptr);
    form->body_ = CreateWindowExW(0, WC_EDIT, u"",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE |
                                      ES_AUTOVSCROLL | ES_WANTRETURN,
                                  0, 0, 1, 1, hwnd, id(kIdBody), nullptr, nullptr);
    SendMessageW(form->body_, EM_LIMITTEXT, kMaxSmsText, 0);
    form->Layout();
    return 0;
  }
  auto* form = reinterpret_cast<SmsComposeForm*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (!form) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SIZE:
      form->Layout();
      return 0;
    case WM_PAINT:
      form->Paint();
      return 0;
    case WM_COMMAND:
      if (lparam == 0 || reinterpret_cast<HWND>(lparam) == form->bar_) {
        if (LOWORD(wparam) == kIdSend) form->Send();
        if (LOWORD(wparam) == kIdCancel) form->Close(0);
      }
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      if (form->bar_ && IsWindow(form->bar_)) DestroyWindow(form->bar_);
      form->bar_ = form->to_ = form->body_ = nullptr;
      form->window_ = nullptr;
      form->Release();
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void SmsComposeForm::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  const int row = line_height_ + 2 * kMargin;
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SIZE label{};
  GetTextExtentPoint32W(dc, kToLabel, 3, &label);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  const int to_x = kMargin + label.cx + kMargin;
  MoveWindow(to_, to_x, kMargin / 2, std::max<int>(0, client.right - to_x - kMargin), row - kMargin, TRUE);
  MoveWindow(body_, kMargin, row + kMargin / 2, std::max<int>(0, client.right - 2 * kMargin),
             std::max<int>(0, client.bottom - row - kMargin), TRUE);
}

void SmsComposeForm::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT label{kMargin, 0, kMargin + 40 * line_height_, line_height_ + 2 * kMargin};
  DrawTextW(dc, kToLabel, -1, &label, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
  EndPaint(window_, &ps);
}

HRESULT SmsComposeForm::Send() {
  if (sent_ || message_ == nullptr) return E_FAIL;
  const std::vector<std::u16string> to = SplitRecipients(WindowText(to_));
  if (to.empty()) {
    MessageBoxW(window_, u"Enter a recipient for this message.", u"Text Messages", MB_OK);
    SetFocus(to_);
    return MAPI_E_NO_RECIPIENTS;
  }
  const std::u16string text = WindowText(body_);
  SPropValue subject{};
  subject.ulPropTag = PR_SUBJECT_W;
  subject.Value.lpszW = const_cast<LPWSTR>(text.c_str());
  HRESULT hr = message_->SetProps(1, &subject, nullptr);
  if (FAILED(hr)) return hr;
  // One address entry per recipient, replacing whatever the message had.
  std::vector<SPropValue> values(to.size() * 2);
  std::vector<ADRENTRY> entries(to.size());
  for (size_t i = 0; i < to.size(); ++i) {
    values[2 * i].ulPropTag = PR_RECIPIENT_TYPE;
    values[2 * i].Value.l = MAPI_TO;
    values[2 * i + 1].ulPropTag = PR_EMAIL_ADDRESS_W;
    values[2 * i + 1].Value.lpszW = const_cast<LPWSTR>(to[i].c_str());
    entries[i].cValues = 2;
    entries[i].rgPropVals = &values[2 * i];
  }
  std::vector<uint8_t> block(sizeof(ADRLIST) + entries.size() * sizeof(ADRENTRY));
  auto* list = reinterpret_cast<ADRLIST*>(block.data());
  list->cEntries = static_cast<ULONG>(entries.size());
  std::copy(entries.begin(), entries.end(), list->aEntries);
  hr = message_->ModifyRecipients(0, list);
  if (FAILED(hr)) return hr;
  hr = message_->SubmitMessage(0);
  if (FAILED(hr)) return hr;
  sent_ = true;
  Close(0);
  return S_OK;
}

STDMETHODIMP SmsComposeForm::Close(DWORD) {
  if (host_) host_->OnFormClosing(this, message_, 0);
  if (frame_) SendMessageW(frame_, WM_CLOSE, 0, 0);
  return S_OK;
}

STDMETHODIMP SmsComposeForm::CloseFrame() {
  if (frame_) SendMessageW(frame_, WM_CLOSE, 0, 0);
  return S_OK;
}

STDMETHODIMP SmsComposeForm::PreTranslateMessage(MSG* msg, BOOL* handled) {
  if (handled) *handled = FALSE;
  // Down moves from the "To:" line into the text, as the platform's forms do.
  if (msg && msg->message == WM_KEYDOWN && msg->hwnd == to_ && msg->wParam == VK_DOWN) {
    SetFocus(body_);
    if (handled) *handled = TRUE;
  }
  return S_OK;
}

STDMETHODIMP SmsComposeForm::DoAction(UINT action, WPARAM, LPARAM) {
  switch (action) {
    case IFA_CLOSE: return Close(0);
    case IFA_SEND: return Send();
    default: return S_OK;
  }
}

STDMETHODIMP SmsComposeForm::GetActionMask(DWORD mask, DWORD* result) {
  if (result == nullptr) return E_POINTER;
  *result = mask & IFAM_CLOSE;
  return S_OK;
}

}  // namespace pellix::device::inbox
