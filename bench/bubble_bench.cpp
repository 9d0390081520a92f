// The bubble on a booted device with the default skin, its thread already running, at clock
// speed 1:
// - BM_BubbleAppears: from ProcessMessage's entry until the module's popup is on the screen with
//   every window in it painted (the page, its smiley, the caption and the soft keys).
// - BM_BubbleAnimationStep: one step of the bubble's smiley animation with ten animated smileys
//   on the page, until the page has repainted with the new frames; with the heap allocations
//   the bubble thread makes for it (allocation_counter.h). The times are real times: the work
//   is done on the bubble thread, so the CPU column (this thread's) does not count it.
#include <benchmark/benchmark.h>
#include <cemapi.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bubble/bubble_thread.h"
#include "bubble/bubble_window.h"
#include "bubble/popup_window.h"
#include "core/settings.h"
#include "forms/picture.h"
#include "kernel/device.h"
#include "platform/message_store.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/notification_list.h"
#include "rule/process_message.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"
#include "testing/allocation_counter.h"
#include "windows/window_system.h"

namespace {

namespace fs = std::filesystem;
using namespace pellix::device;

bool TreePainted(windows::WindowSystem& system, HWND hwnd) {
  if (system.HasUpdate(hwnd)) return false;
  for (HWND child = system.Relative(hwnd, GW_CHILD); child; child = system.Relative(child, GW_HWNDNEXT))
    if (!TreePainted(system, child)) return false;
  return true;
}

void SetDword(LPCWSTR name, DWORD value) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  RegCloseKey(key);
}

// A device with the default skin and the bubble thread running; a record that is never shown
// keeps the thread from ending when a benchmark removes its notifications.
class BubbleDevice {
 public:
  BubbleDevice() {
    auto image = DeviceImage::Create(dir_.path() / "image", Profile{});
    if (!image) std::abort();
    Device::Boot(std::move(*image));
    module_ = pellix::AttachStaticPellixRule();
    const fs::path skins = dir_.path() / "image" / "fs" / "Skins";
    fs::create_directories(skins);
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const std::u16string root = u"\\", skin = u"default";
    RegSetValueExW(key, u"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(root.c_str()), 4);
    RegSetValueExW(key, u"SkinName", 0, REG_SZ, reinterpret_cast<const BYTE*>(skin.c_str()), 16);
    RegCloseKey(key);
    SetDword(u"ShowMyBubble", 1);
    GetSettings();
    LoadSmileyTable();
    LoadTemplates();
    StartBubbleThread();
    while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
    AddSms(1);  // the anchor
    if (MAPILogonEx(0, nullptr, nullptr, 0, &session_) != S_OK ||
        OpenStoreByName(session_, SMS_STORE_NAME, &store_) != S_OK ||
        store_->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox_, &inbox_, nullptr) != S_OK)
      std::abort();
  }
  ~BubbleDevice() {
    // As the rule client's end does: the HTML view library goes with the device, or the next
    // device (each benchmark run boots one) would find the module holding a stale handle and
    // never register the view's window class.
    ShutdownBubbleThread();
    mySHOnceDeInit();
    MAPIFreeBuffer(inbox_);
    store_->Release();
    session_->Logoff(0, 0, 0);
    session_->Release();
    FreeSmileyTable();
    FreeLibrary(module_);
    Device::Shutdown();
  }

  std::vector<uint8_t> Deliver(const std::u16string& text) {
    store::SmsMessage m;
    m.sender = u"+49171234567";
    m.text = text;
    auto key = store::DeliverSms(store::MessageStore::Of(Device::Get()), m);
    if (!key) std::abort();
    return store::MakeEntryId(store::EntryKind::kMessage, *key);
  }
  void Process(std::vector<uint8_t>& id) {
    ULONG event = 0;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    ProcessMessage(store_, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), cbInbox_, inbox_,
                   &event, &handled);
  }
  // Spins until the popup shows `number` and everything in it has painted.
  static bool WaitShownAndPainted(DWORD number) {
    windows::WindowSystem& system = windows::WindowSystem::Get();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      if (IsWindowVisible(g_hPopupWindow) && static_cast<DWORD>(GetWindowLongW(g_hPopupView, GWL_ID)) == number &&
          TreePainted(system, g_hPopupWindow))
        return true;
      // The watcher gives way, so that on a busy machine it does not take the processor from
      // the thread it watches.
      std::this_thread::yield();
    }
    return false;
  }

 private:
  pellix::testing::TempDir dir_;
  HINSTANCE module_ = nullptr;
  LPMAPISESSION session_ = nullptr;
  LPMDB store_ = nullptr;
  ULONG cbInbox_ = 0;
  LPENTRYID inbox_ = nullptr;
};

void BM_BubbleAppears(benchmark::State& state) {
  BubbleDevice bubble;
  for (auto _ : state) {
    std::vector<uint8_t> id = bubble.Deliver(u"See you at 8 :) call +49171234567");
    const DWORD number = g_dwNotificationNumber;
    const auto start = std::chrono::steady_clock::now();
    bubble.Process(id);
    if (!BubbleDevice::WaitShownAndPainted(number)) {
      state.SkipWithError("the bubble did not appear");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, number);
    while (findsms(number)) std::this_thread::yield();
  }
}
BENCHMARK(BM_BubbleAppears)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The bubble thread's allocation counter, taken on that thread by a subclass of its window.
std::atomic<std::atomic<long>*> g_bubbleAllocations{nullptr};
WNDPROC g_bubbleProc = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_bubbleAllocations = &ThreadAllocations();
  return CallWindowProcW(g_bubbleProc, hwnd, message, wParam, lParam);
}

void BM_BubbleAnimationStep(benchmark::State& state) {
  BubbleDevice bubble;
  // The benchmark steps the animation itself.
  SetDword(u"Animation", 0);
  g_Settings.Animation = 0;
  std::vector<uint8_t> id = bubble.Deliver(u">:( O:) <3 ;) :P :'( |-) :* >:-( O:-)");
  const DWORD number = g_dwNotificationNumber;
  bubble.Process(id);
  if (!BubbleDevice::WaitShownAndPainted(number)) {
    state.SkipWithError("the bubble did not appear");
    return;
  }
  // The animated smileys the page asked for.
  int animated = 0;
  UINT most = 1;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    const PICTURE* picture = g_SmileyTable[i].picture;
    if (!picture || picture->frameCount < 2) continue;
    ++animated;
    if (picture->frameCount > most) most = picture->frameCount;
  }
  HWND thread = g_hBubbleThreadWindow;
  g_bubbleProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(thread, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  windows::WindowSystem& system = windows::WindowSystem::Get();
  auto step = [&] {
    // The animation timer's own message, handled on the bubble thread while this thread waits;
    // then until the page has repainted there.
    SendMessageW(thread, WM_TIMER, BUBBLE_ANIMATION_TIMER, 0);
    while (system.HasUpdate(g_hPopupView) || !TreePainted(system, g_hPopupView)) std::this_thread::yield();
  };
  // A round of every frame first: the pictures keep their frames once drawn.
  for (UINT i = 0; i < most; ++i) step();
  std::atomic<long>* counter = g_bubbleAllocations.load();
  const long before = counter->load();
  long steps = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    step();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    ++steps;
  }
  state.counters["allocs_per_step"] = steps ? static_cast<double>(counter->load() - before) / steps : 0;
  state.counters["animated_smileys"] = animated;
  SetWindowLongPtrW(thread, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(g_bubbleProc));
}
BENCHMARK(BM_BubbleAnimationStep)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
