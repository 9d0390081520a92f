#include "inbox/compose_frame.h"

#include <algorithm>
#include <memory>

#include <inboxform.h>

#include "inbox/sms_forms.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "shell/app_thread.h"
#include "shell/menu_bar.h"
#include "store/mapi_objects.h"
#include "store/sms_delivery.h"

namespace pellix::device::inbox {
namespace {

constexpr int kMailClose = 1101;

// One open compose frame. Lives on the application thread from creation to WM_NCDESTROY.
struct Frame final : IInboxFormHost {
  STDMETHODIMP OnFormClosing(IInboxMessageForm*, IMessage*, DWORD) override {
    closing = true;
    return S_OK;
  }
  STDMETHODIMP GetFrameWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = hwnd;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR title) override {
    SetWindowTextW(hwnd, title ? title : u"");
    return S_OK;
  }
  // A compose frame has no list to move in and nothing to reply to.
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage*, UINT, LPARAM) override { return E_NOTIMPL; }

  HWND hwnd = nullptr;
  HWND form_window = nullptr;
  IInboxMessageForm* form = nullptr;
  IInboxFormProvider* provider = nullptr;
  HMODULE module = nullptr;
  IMessage* message = nullptr;
  int64_t message_key = 0;
  int hook = 0;
  bool closing = false;
  // The device's own e-mail form.
  HWND bar = nullptr;
};

std::vector<HWND> g_frames;  // application thread only

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* frame = static_cast<Frame*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(frame));
    frame->hwnd = hwnd;
    g_frames.push_back(hwnd);
    return 0;
  }
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (!frame) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SIZE:
      if (frame->form_window) MoveWindow(frame->form_window, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == kMailClose) DestroyWindow(hwnd);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      if (frame->bar && IsWindow(frame->bar)) DestroyWindow(frame->bar);
      return 0;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      g_frames.erase(std::remove(g_frames.begin(), g_frames.end(), hwnd), g_frames.end());
      if (frame->hook) shell::AppThread::Get().RemovePreTranslate(frame->hook);
      if (frame->form) frame->form->Release();
      if (frame->provider) frame->provider->Release();
      if (frame->message) frame->message->Release();
      if (frame->module) FreeLibrary(frame->module);
      // A message that never left is not kept: the Outbox holds only what is being sent.
      if (frame->message_key != 0) {
        store::MessageStore& messages = store::MessageStore::Of(Device::Get());
        if (auto folder = messages.FolderOf(frame->message_key)) {
          auto record = messages.FindFolder(*folder);
          if (record && record->role == store::FolderRole::kOutbox) {
            const int64_t keys[] = {frame->message_key};
            (void)messages.DeleteMessages(keys, *folder);
          }
        }
      }
      delete frame;
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

bool RegisterFrameClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kComposeFrameClass, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = FrameProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kComposeFrameClass;
  return RegisterClassW(&wc) != 0;
}

// Between the title bar and the soft-key bar, which follow the screen's density.
HWND MakeFrame(Frame* frame, LPCWSTR title) {
  if (!RegisterFrameClass()) return nullptr;
  const int top = GetSystemMetrics(SM_CYCAPTION);
  const int height = std::max(1, GetSystemMetrics(SM_CYSCREEN) - top - GetSystemMetrics(SM_CYMENU));
  return CreateWindowExW(0, kComposeFrameClass, title, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, top,
                         GetSystemMetrics(SM_CXSCREEN), height, nullptr, nullptr, nullptr, frame);
}

// The form module of "IPM.SMStext" as the registry names it; null when it cannot serve.
PFNFORMFACTORYEX LoadFormModule(HMODULE* module) {
  *module = nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSmsTypeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  WCHAR path[MAX_PATH] = {};
  DWORD size = sizeof(path) - sizeof(WCHAR);
  DWORD type = 0;
  const LONG read = RegQueryValueExW(key, u"DLL", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ || path[0] == 0) return nullptr;
  HMODULE loaded = LoadLibraryW(path);
  if (!loaded) return nullptr;
  auto factory = reinterpret_cast<PFNFORMFACTORYEX>(GetProcAddressW(loaded, FORMFACTORYEX_NAME));
  if (!factory) {
    FreeLibrary(loaded);
    return nullptr;
  }
  *module = loaded;
  return factory;
}

void Journal(const ComposeRequest& r) {
  auto utf8 = [](const std::u16string& s) { return Utf16ToUtf8(s); };
  Device::Get().journal().Append(journal_kind::kCompose, "account=" + utf8(r.account) + "; to=" + utf8(r.to) +
                                                             "; subject=" + utf8(r.subject) + "; body=" + utf8(r.body));
}

std::vector<std::u16string> Recipients(const std::u16string& line) {
  std::vector<std::u16string> out;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find(u';', start);
    if (end == std::u16string::npos) end = line.size();
    std::u16string part = line.substr(start, end - start);
    const size_t a = part.find_first_not_of(u' ');
    if (a != std::u16string::npos) out.push_back(part.substr(a, part.find_last_not_of(u' ') - a + 1));
    start = end + 1;
  }
  return out;
}

HRESULT OpenSmsForm(const ComposeRequest& request) {
  store::MessageStore& messages = store::MessageStore::Of(Device::Get());
  store::SmsMessage draft;
  draft.folder = u"Outbox";
  draft.text = request.body;
  draft.read = true;
  draft.to = Recipients(request.to);
  auto key = store::DeliverSms(messages, draft);
  if (!key) return MAPI_E_NOT_FOUND;

  auto* frame = new Frame;
  frame->message_key = *key;
  frame->message = new store::MessageObject(messages, *key);
  if (!MakeFrame(frame, u"Text Messages")) {
    frame->message->Release();
    const int64_t keys[] = {*key};
    if (auto folder = messages.FolderOf(*key)) (void)messages.DeleteMessages(keys, *folder);
    delete frame;
    return E_FAIL;
  }
  auto create = [&](PFNFORMFACTORYEX factory) {
    IInboxFormProvider* provider = nullptr;
    if (FAILED(factory(u"IPM.SMStext", &provider)) || !provider) return false;
    IInboxMessageForm* form = nullptr;
    HWND window = nullptr;
    const HRESULT hr = provider->CreateComposeForm(frame, frame->message, request.compose_type, nullptr, 0,
                                                   frame->hwnd, &window, &form);
    if (FAILED(hr) || !form) {
      if (form) form->Release();
      provider->Release();
      return false;
    }
    frame->provider = provider;
    frame->form = form;
    frame->form_window = window;
    return true;
  };
  bool made = false;
  if (PFNFORMFACTORYEX factory = LoadFormModule(&frame->module)) made = create(factory);
  if (!made) {
    // The registered module could not make a form: the person still gets the Inbox's own.
    if (frame->module) {
      Device::Get().journal().Append(journal_kind::kDebug, "compose: the registered form module made no form");
      FreeLibrary(frame->module);
      frame->module = nullptr;
    }
    made = create(&SmsFormFactoryEx);
  }
  if (!made) {
    DestroyWindow(frame->hwnd);
    return E_FAIL;
  }
  IInboxMessageForm* form = frame->form;
  frame->hook = shell::AppThread::Get().AddPreTranslate([form](MSG& msg) {
    BOOL handled = FALSE;
    form->PreTranslateMessage(&msg, &handled);
    return handled != FALSE;
  });
  return S_OK;
}

// The device's own e-mail form: who to, subject and text, and a Close soft key.
HRESULT OpenMailForm(const ComposeRequest& request) {
  auto* frame = new Frame;
  HWND hwnd = MakeFrame(frame, u"New E-mail (no e-mail account)");
  if (!hwnd) {
    delete frame;
    return E_FAIL;
  }
  RECT client{};
  GetClientRect(hwnd, &client);
  const int row = GetSystemMetrics(SM_CYMENU);
  auto edit = [&](LPCWSTR text, DWORD style, int y, int height) {
    return CreateWindowExW(0, WC_EDIT, text, WS_CHILD | WS_VISIBLE | WS_BORDER | style, 2, y,
                           std::max<int>(1, client.right - 4), height, hwnd, nullptr, nullptr, nullptr);
  };
  HWND to = edit(request.to.c_str(), ES_AUTOHSCROLL, 2, row - 4);
  edit(request.subject.c_str(), ES_AUTOHSCROLL, row, row - 4);
  edit(request.body.c_str(), ES_MULTILINE | WS_VSCROLL, 2 * row, std::max<int>(1, client.bottom - 2 * row - 2));
  HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, kMailClose, u"Close");
  frame->bar = shell::CreateMenuBarWindow(hwnd, menu, true, true);
  SetFocus(to);
  return S_OK;
}

}  // namespace

HRESULT OpenComposeForm(const ComposeRequest& request) {
  Device* device = Device::Current();
  if (device == nullptr) return E_FAIL;
  HRESULT hr = E_FAIL;
  if (!shell::AppThread::Get().Run([&] { hr = request.email ? OpenMailForm(request) : OpenSmsForm(request); }))
    return E_FAIL;
  if (SUCCEEDED(hr)) Journal(request);
  return hr;
}

std::vector<HWND> ComposeFrames() {
  std::vector<HWND> frames;
  shell::AppThread::Get().Run([&] { frames = g_frames; });
  return frames;
}

}  // namespace pellix::device::inbox
