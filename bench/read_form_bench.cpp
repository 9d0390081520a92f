// Opening a message in the module's read form, as the Inbox does when the person taps it: the
// message object opened, CreateReadForm (the form, its window, the header with the contact's
// picture, the page with two smileys, a number and a link handed to the HTML view), until the
// header and the page are painted. The provider, the skin, the smiley pictures and the font
// caches are warm, as they are for every message after the first. Target: median under 3 ms.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <cemapi.h>
#include <inboxform.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "contacts/contact_store.h"
#include "core/settings.h"
#include "forms/form_provider.h"
#include "forms/msg_form.h"
#include "forms/read_window.h"
#include "kernel/device.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "store/mapi_objects.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
namespace fs = std::filesystem;

// The Inbox's side of a form, reduced to what a read form that only opens asks of it.
struct QuietHost final : IInboxFormHost {
  STDMETHODIMP OnFormClosing(IInboxMessageForm*, IMessage*, DWORD) override { return S_OK; }
  STDMETHODIMP GetFrameWindow(HWND* out) override {
    *out = nullptr;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR) override { return S_OK; }
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage*, UINT, LPARAM) override { return S_OK; }
};

void SetSetting(LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void BM_ReadFormOpens(benchmark::State& state) {
  pellix::testing::TempDir dir;
  auto image = DeviceImage::Create(dir.path() / "image", Profile{});
  if (!image) std::abort();
  Device& device = Device::Boot(std::move(*image));
  HINSTANCE module = pellix::AttachStaticPellixRule();
  const fs::path skins = *device.image().MapPath(u"\\Skins");
  fs::create_directories(skins);
  fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
  SetSetting(u"InstallDir", REG_SZ, u"\\", 4);
  SetSetting(u"SkinName", REG_SZ, u"default", 16);

  std::ifstream in(fs::path(PELLIX_SKINS_DIR) / "default" / "Smileys" / "cool.gif", std::ios::binary);
  contacts::Contact ada;
  ada.fields[contacts::Field::kFileAs] = u"Ada Quill";
  ada.fields[contacts::Field::kMobilePhone] = u"+49 171 234567";
  ada.picture = std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  if (!contacts::ContactStore::Of(device).Save(ada).ok()) std::abort();
  auto& messages = store::MessageStore::Of(device);
  store::SmsMessage sms;
  sms.sender = u"+49171234567";
  sms.text = u"Hi Ada :) see you at 8 :D call me on +4930123456 or see http://example.org";
  const int64_t key = *store::DeliverSms(messages, sms);

  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"BenchFrame";
  RegisterClassW(&wc);
  HWND frame = CreateWindowExW(0, u"BenchFrame", u"Text Messages", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268, nullptr,
                               nullptr, nullptr, nullptr);
  IInboxFormProvider* provider = nullptr;
  if (FAILED(FormFactoryEx(u"IPM.SMStext.Ravlo", &provider))) std::abort();
  QuietHost host;

  auto open = [&]() -> IInboxMessageForm* {
    IMessage* message = new store::MessageObject(messages, key);
    IInboxMessageForm* form = nullptr;
    HWND window = nullptr;
    const HRESULT hr = provider->CreateReadForm(&host, message, frame, &window, &form);
    message->Release();
    if (FAILED(hr) || !form) return nullptr;
    // Painted now rather than when the Inbox's loop comes to it: the header, then the page.
    UpdateWindow(window);
    HWND view = static_cast<CMsgForm*>(form)->Window()->HtmlView();
    UpdateWindow(view);
    UpdateWindow(GetWindow(view, GW_CHILD));
    return form;
  };
  for (int i = 0; i < 3; ++i)
    if (IInboxMessageForm* warm = open()) warm->Release();

  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    IInboxMessageForm* form = open();
    const auto end = std::chrono::steady_clock::now();
    if (!form) {
      state.SkipWithError("the read form did not open");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    form->Release();
  }
  provider->Release();
  DestroyWindow(frame);
  FreeTemplates();
  FreeSmileyTable();
  FreeLibrary(module);
  Device::Shutdown();
}
BENCHMARK(BM_ReadFormOpens)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
