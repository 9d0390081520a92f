#include "inbox/inbox_window.h"

#include <cemapi.h>
#include <inboxform.h>
#include <mapitags.h>

#include "inbox/compose_frame.h"
#include "kernel/device.h"
#include "shell/menu_bar.h"
#include "person/journal.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"

namespace pellix::device::inbox {
namespace {

constexpr WCHAR kListClass[] = u"INBOXMESSAGELIST";
constexpr WCHAR kFrameClass[] = u"INBOXFORMFRAME";
constexpr UINT kRefreshMessage = WM_APP + 1;
constexpr UINT kOpenMessage = WM_APP + 2;      // lParam: the key; answers an HRESULT
constexpr UINT kCloseFormMessage = WM_APP + 3;
constexpr UINT kFormActionMessage = WM_APP + 5;  // wParam: the IFA_ action to ask the open form for
// The read frame's menu commands carry the form action they ask for.
constexpr UINT kFirstActionCommand = 0x7100;
constexpr UINT kLastActionCommand = kFirstActionCommand + 0xFF;
// The list's own soft-key commands.
constexpr UINT kNewCommand = 0x7200;
constexpr UINT kOpenCommand = 0x7201;
constexpr UINT kQuitMessage = WM_APP + 4;
constexpr size_t kListLimit = 500;  // the list shows the newest messages only

InboxWindow* g_window = nullptr;  // the one list window's object, for its window procedure

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_window) return g_window->Procedure(hwnd, message, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (HWND form = GetWindow(hwnd, GW_CHILD)) MoveWindow(form, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_CLOSE:
      // The form asked its frame to close: the list takes the form down on its own turn.
      if (g_window && g_window->list_window()) PostMessageW(g_window->list_window(), kCloseFormMessage, 0, 0);
      return 0;
    case WM_COMMAND:
      // A choice on the frame's soft keys: the list asks the form on its own turn, as the
      // action may close the frame.
      if (LOWORD(wParam) >= kFirstActionCommand && LOWORD(wParam) <= kLastActionCommand && g_window &&
          g_window->list_window())
        PostMessageW(g_window->list_window(), kFormActionMessage, LOWORD(wParam) - kFirstActionCommand, 0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

RECT WorkArea() {
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

std::u16string EntryIdOf(int64_t key) {
  auto id = store::MakeEntryId(store::EntryKind::kMessage, key);
  return std::u16string(reinterpret_cast<const char16_t*>(id.data()), id.size() / 2);
}

}  // namespace

// The Inbox as the host of one open form: the form module, its provider, the form, the frame
// and the message store session through which the form's messages are opened.
class FormHost final : public IInboxFormHost {
 public:
  FormHost(InboxWindow& inbox, Device& device) : inbox_(inbox), device_(device) {}
  ~FormHost() {
    if (form_) form_->Release();
    if (provider_) provider_->Release();
    if (module_) FreeLibrary(module_);
    if (store_) store_->Release();
    if (session_) {
      session_->Logoff(0, 0, 0);
      session_->Release();
    }
  }

  HRESULT Open(int64_t key, std::string* why) {
    auto& engine = store::MessageStore::Of(device_);
    auto cls = engine.ReadProperty(key, PR_MESSAGE_CLASS_W);
    if (!cls || !cls->has_value()) {
      *why = "no such message";
      return MAPI_E_NOT_FOUND;
    }
    const std::u16string message_class = std::get<std::u16string>((*cls)->value);
    auto path = MessageTypeString(message_class, u"DLL");
    if (!path) {
      *why = "no form module is registered for " + Utf16ToUtf8(message_class);
      return REGDB_E_CLASSNOTREG;
    }
    module_ = LoadLibraryW(path->c_str());
    if (!module_) {
      *why = "cannot load the form module " + Utf16ToUtf8(*path);
      return E_FAIL;
    }
    auto factory = reinterpret_cast<PFNFORMFACTORYEX>(GetProcAddressW(module_, FORMFACTORYEX_NAME));
    if (!factory) {
      *why = "the form module " + Utf16ToUtf8(*path) + " has no FormFactoryEx";
      return E_FAIL;
    }
    HRESULT hr = factory(message_class.c_str(), &provider_);
    if (FAILED(hr) || !provider_) {
      *why = Utf16ToUtf8(*path) + ": FormFactoryEx failed";
      return FAILED(hr) ? hr : E_FAIL;
    }
    IMessage* message = OpenMessage(key);
    if (!message) {
      *why = "the message cannot be opened";
      return MAPI_E_NOT_FOUND;
    }
    const RECT area = WorkArea();
    frame_ = CreateWindowExW(0, kFrameClass, u"Text Messages", WS_POPUP | WS_VISIBLE, area.left, area.top,
                             area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    HWND form_window = nullptr;
    hr = frame_ ? provider_->CreateReadForm(this, message, frame_, &form_window, &form_) : E_FAIL;
    message->Release();
    if (FAILED(hr) || !form_) {
      *why = Utf16ToUtf8(*path) + ": CreateReadForm failed";
      return FAILED(hr) ? hr : E_FAIL;
    }
    key_ = key;
    MarkRead(key);
    CreateSoftKeys();
    SetForegroundWindow(frame_);
    device_.journal().Append(journal_kind::kInbox, "message " + std::to_string(key) + " opened in the read form of " +
                                                       Utf16ToUtf8(*path));
    return S_OK;
  }

  IInboxMessageForm* form() const { return form_; }
  HWND frame() const { return frame_; }
  int64_t key() const { return key_; }

  void DestroyFrame() {
    if (bar_) DestroyWindow(bar_);
    bar_ = nullptr;
    if (frame_) DestroyWindow(frame_);
    frame_ = nullptr;
  }

  // ---- IInboxFormHost ----
  STDMETHODIMP OnFormClosing(IInboxMessageForm*, IMessage*, DWORD) override {
    device_.journal().Append(journal_kind::kInbox, "message " + std::to_string(key_) + ": the form closes");
    return S_OK;
  }
  STDMETHODIMP GetFrameWindow(HWND* hwnd) override {
    if (!hwnd) return E_INVALIDARG;
    *hwnd = frame_;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR title) override {
    if (frame_) SetWindowTextW(frame_, title ? title : u"");
    return S_OK;
  }
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage*, UINT action, LPARAM) override {
    switch (action) {
      case IFHA_NEXT:
      case IFHA_PREVIOUS:
        return Show(inbox_.Neighbour(key_, action == IFHA_NEXT ? 1 : -1),
                    action == IFHA_NEXT ? "next" : "previous");
      case IFHA_DELETE:
        return Delete();
      case IFHA_REPLY:
      case IFHA_FORWARD:
        return Compose(action == IFHA_REPLY);
      default:
        return E_NOTIMPL;
    }
  }

 private:
  // "Reply" on the left soft key and the form's actions under "Menu", as the Inbox offers them
  // for every read form; the form decides (its action mask) which of them it takes.
  void CreateSoftKeys() {
    auto item = [](UINT action) { return static_cast<UINT_PTR>(kFirstActionCommand + action); };
    HMENU menu = CreateMenu();
    HMENU more = CreatePopupMenu();
    AppendMenuW(more, MF_STRING, item(IFA_REPLY), u"Reply");
    AppendMenuW(more, MF_STRING, item(IFA_FORWARD), u"Forward");
    AppendMenuW(more, MF_STRING, item(IFA_DELETE), u"Delete");
    AppendMenuW(more, MF_STRING, item(IFA_SAVETOCONTACTS), u"Save to Contacts");
    AppendMenuW(more, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(more, MF_STRING, item(IFA_CLOSE), u"Close");
    AppendMenuW(menu, MF_STRING, item(IFA_REPLY), u"Reply");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(more), u"Menu");
    bar_ = shell::CreateMenuBarWindow(frame_, menu, true, true);
    if (!bar_) DestroyMenu(menu);
  }

  IMessage* OpenMessage(int64_t key) {
    if (!session_) {
      if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session_))) return nullptr;
    }
    const std::u16string id = EntryIdOf(key);
    IMessage* message = nullptr;
    ULONG type = 0;
    if (FAILED(session_->OpenEntry(static_cast<ULONG>(id.size() * 2),
                                   reinterpret_cast<LPENTRYID>(const_cast<char16_t*>(id.data())), nullptr, 0,
                                   &type, reinterpret_cast<LPUNKNOWN*>(&message))))
      return nullptr;
    return message;
  }

  void MarkRead(int64_t key) {
    auto& engine = store::MessageStore::Of(device_);
    auto flags = engine.ReadProperty(key, PR_MESSAGE_FLAGS);
    int64_t value = 0;
    if (flags && flags->has_value() && std::holds_alternative<int64_t>((*flags)->value))
      value = std::get<int64_t>((*flags)->value);
    const store::Property read = store::IntProperty(PR_MESSAGE_FLAGS, value | MSGFLAG_READ);
    (void)engine.WriteProperties(key, std::span(&read, 1));
    inbox_.Refresh();
  }

  HRESULT Show(int64_t key, const char* which) {
    if (!key || !form_) return S_FALSE;
    IMessage* message = OpenMessage(key);
    if (!message) return MAPI_E_NOT_FOUND;
    HRESULT hr = form_->SetMessage(0, message);
    message->Release();
    if (SUCCEEDED(hr)) {
      key_ = key;
      inbox_.form_key_ = key;
      MarkRead(key);
      device_.journal().Append(journal_kind::kInbox, std::string("the form shows the ") + which + " message " +
                                                         std::to_string(key));
    }
    return hr;
  }

  HRESULT Delete() {
    auto& engine = store::MessageStore::Of(device_);
    const int64_t gone = key_;
    const int64_t next = inbox_.Neighbour(gone, 1) ? inbox_.Neighbour(gone, 1) : inbox_.Neighbour(gone, -1);
    auto folder = engine.FolderOf(gone);
    auto sms = store::SmsStore(engine);
    auto deleted = sms ? engine.FolderByRole(sms->key, store::FolderRole::kDeletedItems) : std::nullopt;
    if (!folder || !deleted) return MAPI_E_NOT_FOUND;
    if (!engine.MoveMessages(std::span(&gone, 1), *folder, deleted->key)) return E_FAIL;
    device_.journal().Append(journal_kind::kInbox, "message " + std::to_string(gone) + " moved to Deleted Items");
    inbox_.Refresh();
    if (next) return Show(next, "next");
    if (form_) form_->Close(0);
    return S_OK;
  }

  HRESULT Compose(bool reply) {
    auto& engine = store::MessageStore::Of(device_);
    auto props = engine.ReadProperties(key_);
    if (!props) return MAPI_E_NOT_FOUND;
    std::u16string sender, text;
    for (const auto& p : *props) {
      if (!std::holds_alternative<std::u16string>(p.value)) continue;
      if (p.tag == PR_SENDER_EMAIL_ADDRESS_W) sender = std::get<std::u16string>(p.value);
      if (p.tag == PR_SUBJECT_W) text = std::get<std::u16string>(p.value);
    }
    MAILCOMPOSEFIELDS fields{};
    fields.cbSize = MAILCOMPOSEFIELDS_SIZE;
    fields.dwFlags = MCF_ACCOUNT_IS_NAME;
    fields.pszAccount = u"SMS";
    if (reply) fields.pszTo = sender.c_str();
    else fields.pszBody = text.c_str();
    return MailComposeMessage(&fields);
  }

  InboxWindow& inbox_;
  Device& device_;
  HMODULE module_ = nullptr;
  IInboxFormProvider* provider_ = nullptr;
  IInboxMessageForm* form_ = nullptr;
  HWND frame_ = nullptr;
  HWND bar_ = nullptr;  // the read frame's soft keys
  int64_t key_ = 0;
  LPMAPISESSION session_ = nullptr;
  LPMDB store_ = nullptr;
};

InboxWindow::InboxWindow(Device& device) : device_(device) {
  device.AtShutdown([this] { Close(); });
}

InboxWindow::~InboxWindow() { Close(); }

InboxWindow& InboxWindow::Of(Device& device) { return device.Component<InboxWindow>(); }

HWND InboxWindow::Show() {
  if (HWND list = list_) return list;
  std::promise<HWND> ready;
  auto made = ready.get_future();
  thread_ = std::thread([this, &ready] { Run(&ready); });
  HWND list = made.get();
  if (!list && thread_.joinable()) thread_.join();
  return list;
}

void InboxWindow::Close() {
  if (HWND list = list_) PostMessageW(list, kQuitMessage, 0, 0);
  if (thread_.joinable()) thread_.join();
}

void InboxWindow::Refresh() {
  if (HWND list = list_) PostMessageW(list, kRefreshMessage, 0, 0);
}

Result<HWND> InboxWindow::Open(int64_t key) {
  HWND list = list_;
  if (!list) return Fail("the Inbox's window is not shown");
  std::string why;
  const HRESULT hr = static_cast<HRESULT>(SendMessageW(list, kOpenMessage, reinterpret_cast<WPARAM>(&why),
                                                       static_cast<LPARAM>(key)));
  if (FAILED(hr)) return Fail(why.empty() ? "the message did not open" : why, hr);
  return frame_.load();
}

HWND InboxWindow::form_frame() const { return frame_; }
int64_t InboxWindow::form_message() const { return form_key_; }

std::vector<ListRow> InboxWindow::Rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

// Two lines of text a row, in proportion to the title bar, so a VGA screen keeps the layout.
int InboxWindow::RowHeight() const { return GetSystemMetrics(SM_CYCAPTION) * 3 / 2; }

int64_t InboxWindow::Neighbour(int64_t key, int step) const {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].key != key) continue;
    const long j = static_cast<long>(i) + step;
    return j >= 0 && j < static_cast<long>(rows_.size()) ? rows_[j].key : 0;
  }
  return 0;
}

void InboxWindow::Reload() {
  auto rows = ReadMessageList(device_, kListLimit);
  std::lock_guard lock(mutex_);
  rows_ = std::move(rows);
  if (selected_ >= static_cast<int>(rows_.size())) selected_ = rows_.empty() ? 0 : static_cast<int>(rows_.size()) - 1;
}

void InboxWindow::Run(std::promise<HWND>* ready) {
  static const bool registered = [] {
    WNDCLASSW list{};
    list.lpfnWndProc = ListProc;
    list.hInstance = GetModuleHandleW(nullptr);
    list.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    list.lpszClassName = kListClass;
    WNDCLASSW frame{};
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = GetModuleHandleW(nullptr);
    frame.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    frame.lpszClassName = kFrameClass;
    return RegisterClassW(&list) != 0 && RegisterClassW(&frame) != 0;
  }();
  g_window = this;
  Reload();
  const RECT area = WorkArea();
  HWND list = registered ? CreateWindowExW(0, kListClass, u"Text Messages", WS_POPUP | WS_VISIBLE, area.left,
                                           area.top, area.right - area.left, area.bottom - area.top, nullptr,
                                           nullptr, GetModuleHandleW(nullptr), nullptr)
                         : nullptr;
  list_ = list;
  HWND bar = list ? CreateListSoftKeys(list) : nullptr;
  if (list) SetForegroundWindow(list);
  ready->set_value(list);
  if (!list) return;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == list && msg.message == kQuitMessage) break;
    // The open form sees every message of the thread first (its keys, its accelerators).
    if (host_ && host_->form()) {
      BOOL handled = FALSE;
      host_->form()->PreTranslateMessage(&msg, &handled);
      if (handled) continue;
      if (FormShortcut(msg)) continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CloseForm();
  list_ = nullptr;
  if (bar) DestroyWindow(bar);
  DestroyWindow(list);
  g_window = nullptr;
}

// "New" on the left soft key, "Open" under "Menu", as the Inbox's list offers them.
HWND InboxWindow::CreateListSoftKeys(HWND list) {
  HMENU menu = CreateMenu();
  HMENU more = CreatePopupMenu();
  AppendMenuW(more, MF_STRING, kOpenCommand, u"Open");
  AppendMenuW(more, MF_STRING, kNewCommand, u"New");
  AppendMenuW(menu, MF_STRING, kNewCommand, u"New");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(more), u"Menu");
  HWND bar = shell::CreateMenuBarWindow(list, menu, true, true);
  if (!bar) DestroyMenu(menu);
  return bar;
}

bool InboxWindow::FormShortcut(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || !host_ || !host_->form()) return false;
  const HWND frame = host_->frame();
  if (!frame || (msg.hwnd != frame && !IsChild(frame, msg.hwnd))) return false;
  // The keys of the frame's menu bar: each asks the form for the action.
  static constexpr std::pair<WPARAM, UINT> kShortcuts[] = {
      {VK_DELETE, IFA_DELETE}, {'R', IFA_REPLY}, {'F', IFA_FORWARD}, {VK_ESCAPE, IFA_CLOSE}};
  for (const auto& [key, action] : kShortcuts) {
    if (msg.wParam != key) continue;
    RunFormAction(action);
    return true;
  }
  return false;
}

void InboxWindow::RunFormAction(UINT action) {
  if (!host_ || !host_->form()) return;
  IInboxMessageForm* form = host_->form();
  // Actions with a mask bit are asked for only when the form offers them.
  DWORD mask = 0;
  switch (action) {
    case IFA_CLOSE: mask = IFAM_CLOSE; break;
    case IFA_DELETE: mask = IFAM_DELETE; break;
    case IFA_REPLY: mask = IFAM_REPLY; break;
    case IFA_FORWARD: mask = IFAM_FORWARD; break;
    default: break;
  }
  DWORD offered = 0;
  if (mask && (FAILED(form->GetActionMask(mask, &offered)) || !(offered & mask))) return;
  form->AddRef();  // the action may close the form
  form->DoAction(action, 0, 0);
  form->Release();
}

void InboxWindow::CloseForm() {
  FormHost* host = host_;
  if (!host) return;
  host_ = nullptr;
  host->DestroyFrame();
  delete host;
  // Other threads watch these: they say "no form" only once the frame and the form are gone.
  frame_ = nullptr;
  form_key_ = 0;
  if (HWND list = list_) SetForegroundWindow(list);
}

HRESULT InboxWindow::OpenOnThread(int64_t key, std::string* why) {
  CloseForm();
  auto host = std::make_unique<FormHost>(*this, device_);
  const HRESULT hr = host->Open(key, why);
  if (FAILED(hr)) {
    device_.journal().Append(journal_kind::kInbox, "message " + std::to_string(key) + " did not open: " + *why);
    host->DestroyFrame();
    return hr;
  }
  host_ = host.release();
  frame_ = host_->frame();
  form_key_ = key;
  return S_OK;
}

void InboxWindow::Paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client{};
  GetClientRect(hwnd, &client);
  std::vector<ListRow> rows;
  int selected, first;
  {
    std::lock_guard lock(mutex_);
    rows = rows_;
    selected = selected_;
    first = first_visible_;
  }
  const int height = RowHeight();
  LOGFONTW normal{};
  normal.lfHeight = -(height / 3);
  normal.lfWeight = FW_NORMAL;
  LOGFONTW bold = normal;
  bold.lfWeight = FW_BOLD;
  HFONT regular = CreateFontIndirectW(&normal);
  HFONT heavy = CreateFontIndirectW(&bold);
  HGDIOBJ old = SelectObject(dc, regular);
  SetBkMode(dc, TRANSPARENT);
  if (rows.empty()) {
    RECT r = client;
    SetTextColor(dc, RGB(0x60, 0x60, 0x60));
    DrawTextW(dc, u"No messages.", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  int y = 0;
  for (int i = first; i < static_cast<int>(rows.size()) && y < client.bottom; ++i, y += height) {
    const ListRow& row = rows[i];
    RECT box{0, y, client.right, y + height};
    HBRUSH fill = CreateSolidBrush(i == selected ? RGB(0x1E, 0x50, 0xA0) : RGB(0xFF, 0xFF, 0xFF));
    FillRect(dc, &box, fill);
    DeleteObject(fill);
    const COLORREF ink = i == selected ? RGB(0xFF, 0xFF, 0xFF) : RGB(0x00, 0x00, 0x00);
    const COLORREF soft = i == selected ? RGB(0xDD, 0xE6, 0xF5) : RGB(0x60, 0x60, 0x60);
    // The class's glyph from its form module, else the Inbox's own envelope.
    int x = 4;
    bool drawn = false;
    if (auto glyph = GlyphForClass(row.message_class)) {
      if (HMODULE module = LoadLibraryW(glyph->module.c_str())) {
        if (HBITMAP bitmap = LoadBitmapW(module, MAKEINTRESOURCE(glyph->bitmap_id))) {
          BITMAP info{};
          GetObjectW(bitmap, sizeof(info), &info);
          HDC source = CreateCompatibleDC(dc);
          HGDIOBJ before = SelectObject(source, bitmap);
          const int side = height / 2 - 4;
          // Magenta is the list's transparent colour, as in the Inbox's image lists.
          TransparentBlt(dc, x, y + 4, side, side, source, 0, 0, info.bmWidth, info.bmHeight, RGB(0xFF, 0x00, 0xFF));
          SelectObject(source, before);
          DeleteDC(source);
          DeleteObject(bitmap);
          drawn = true;
        }
        FreeLibrary(module);
      }
    }
    if (!drawn) {
      HPEN pen = CreatePen(PS_SOLID, 1, soft);
      HGDIOBJ before = SelectObject(dc, pen);
      const int w = height / 2 - 6, h = w * 3 / 4, top = y + 6;
      POINT envelope[] = {{x, top}, {x + w, top}, {x + w, top + h}, {x, top + h}, {x, top}, {x + w / 2, top + h / 2}, {x + w, top}};
      Polyline(dc, envelope, 7);
      SelectObject(dc, before);
      DeleteObject(pen);
    }
    x += height / 2 + 2;
    RECT line1{x, y + 1, client.right - 4, y + height / 2};
    RECT line2{x, y + height / 2, client.right - 4, y + height - 1};
    SelectObject(dc, regular);
    SetTextColor(dc, soft);
    DrawTextW(dc, row.time.c_str(), -1, &line1, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SIZE when{};
    GetTextExtentPoint32W(dc, row.time.c_str(), static_cast<int>(row.time.size()), &when);
    RECT name = line1;
    name.right -= when.cx + 6;
    SelectObject(dc, row.unread ? heavy : regular);
    SetTextColor(dc, ink);
    DrawTextW(dc, row.who.c_str(), -1, &name, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, regular);
    SetTextColor(dc, soft);
    DrawTextW(dc, row.first_line.c_str(), -1, &line2, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    HPEN rule = CreatePen(PS_SOLID, 1, RGB(0xD0, 0xD0, 0xD0));
    HGDIOBJ before = SelectObject(dc, rule);
    MoveToEx(dc, 0, y + height - 1, nullptr);
    LineTo(dc, client.right, y + height - 1);
    SelectObject(dc, before);
    DeleteObject(rule);
  }
  SelectObject(dc, old);
  DeleteObject(regular);
  DeleteObject(heavy);
  EndPaint(hwnd, &ps);
}

LRESULT InboxWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case kRefreshMessage:
      Reload();
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kOpenMessage:
      return OpenOnThread(static_cast<int64_t>(lParam), reinterpret_cast<std::string*>(wParam));
    case kCloseFormMessage:
      CloseForm();
      return 0;
    case kFormActionMessage:
      RunFormAction(static_cast<UINT>(wParam));
      return 0;
    case WM_LBUTTONUP: {
      const int row = static_cast<short>(HIWORD(lParam)) / RowHeight();
      int64_t key = 0;
      {
        std::lock_guard lock(mutex_);
        const int index = first_visible_ + row;
        if (index < static_cast<int>(rows_.size())) {
          selected_ = index;
          key = rows_[index].key;
        }
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      std::string why;
      if (key) OpenOnThread(key, &why);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kNewCommand) {
        ComposeRequest request;
        request.account = u"SMS";
        OpenComposeForm(request);
      } else if (LOWORD(wParam) == kOpenCommand) {
        PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
      }
      return 0;
    case WM_KEYDOWN: {
      int64_t key = 0;
      {
        std::lock_guard lock(mutex_);
        const int count = static_cast<int>(rows_.size());
        if (wParam == VK_DOWN && selected_ + 1 < count) ++selected_;
        if (wParam == VK_UP && selected_ > 0) --selected_;
        RECT client{};
        GetClientRect(hwnd, &client);
        const int shown = std::max(1, static_cast<int>(client.bottom / RowHeight()));
        if (selected_ < first_visible_) first_visible_ = selected_;
        if (selected_ >= first_visible_ + shown) first_visible_ = selected_ - shown + 1;
        if (wParam == VK_RETURN && selected_ < count) key = rows_[selected_].key;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      std::string why;
      if (key) OpenOnThread(key, &why);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace pellix::device::inbox
