// A burst of 1,000 SMS through the device's Inbox and the installed PellixRule.dll, with the
// bubble on: the SMS service stores each message, the Inbox thread hands it to the rule client,
// the module processes it and hands a notification to its bubble thread. Reports messages per
// second and the median time from a message's arrival to ProcessMessage returning, and fails
// when a message is lost (not handled, or not stored with the module's class).
#include <benchmark/benchmark.h>
#include <string>

#include <windows.h>
#include <cemapi.h>
#include <mapitags.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "inbox/inbox.h"
#include "kernel/device.h"
#include "store/message_store.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
namespace fs = std::filesystem;

constexpr int kBurst = 1000;

void SetValue(HKEY root, const std::u16string& key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY k = nullptr;
  RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, 0, nullptr, &k, nullptr);
  RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
}
void SetString(HKEY root, const std::u16string& key, LPCWSTR name, const std::u16string& value) {
  SetValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

// An image with the module installed and registered as the Inbox's rule client.
void Install(Device& device) {
  auto root = device.image().MapPath(u"\\Windows");
  fs::create_directories(*root);
  fs::copy_file(PELLIX_MODULE_PATH, *root / "PellixRule.dll", fs::copy_options::overwrite_existing);
  auto skins = device.image().MapPath(u"\\Program Files\\Halvane Quorrin\\Pellix\\Skins");
  fs::create_directories(*skins);
  fs::copy(PELLIX_SKINS_DIR, *skins, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  SetString(HKEY_CURRENT_USER, u"Software\\Halvane Quorrin Softwares\\Pellix", u"InstallDir",
            u"\\Program Files\\Halvane Quorrin\\Pellix\\");
  const std::u16string clsid = u"{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}";
  SetString(HKEY_CLASSES_ROOT, u"\\CLSID\\" + clsid + u"\\InprocServer32", nullptr, u"PellixRule.dll");
  DWORD one = 1;
  SetValue(HKEY_LOCAL_MACHINE, inbox::kRulesKey, clsid.c_str(), REG_DWORD, &one, 4);
  SetString(HKEY_CURRENT_USER, u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo", u"DLL",
            u"\\Windows\\PellixRule.dll");
}

void BM_InboxBurst(benchmark::State& state) {
  pellix::testing::TempDir dir;
  Profile profile;
  // Keep-awake threads leave within a device second; a fast clock lets them go at once.
  profile.clock_speed = 1000;
  auto image = DeviceImage::Create(dir.path() / "image", profile);
  if (!image) std::abort();
  Device& device = Device::Boot(std::move(*image));
  Install(device);
  auto& inbox = inbox::Inbox::Of(device);
  inbox.Start();
  auto& engine = store::MessageStore::Of(device);

  std::vector<double> latencies;
  int64_t messages = 0;
  for (auto _ : state) {
    std::vector<int64_t> keys;
    keys.reserve(kBurst);
    for (int i = 0; i < kBurst; ++i) {
      store::SmsMessage m;
      m.sender = u"+4917" + std::u16string(1, u'0' + i % 10) + u"123456";
      m.text = u"Message " + std::u16string(1, u'A' + i % 26) + u" :) see http://example.org/" +
               std::u16string(1, u'a' + i % 26);
      auto key = inbox.Deliver(m);
      if (!key) {
        state.SkipWithError("a message could not be stored");
        break;
      }
      keys.push_back(*key);
    }
    if (!inbox.WaitUntilIdle(std::chrono::minutes(10))) {
      state.SkipWithError("the Inbox did not finish the burst");
      break;
    }
    state.PauseTiming();
    for (int64_t key : keys) {
      auto arrival = inbox.Outcome(key);
      auto cls = engine.ReadProperty(key, PR_MESSAGE_CLASS_W);
      const bool handled = arrival && arrival->processed && arrival->outcomes.size() == 1 &&
                           arrival->outcomes[0].handled == MRC_HANDLED_CONTINUE;
      const bool stored = cls && cls->has_value() &&
                          std::get<std::u16string>((*cls)->value) == u"IPM.SMStext.Ravlo";
      if (!handled || !stored) {
        state.SkipWithError("a message was lost: not handled or not stored with the module's class");
        break;
      }
      latencies.push_back(std::chrono::duration<double, std::milli>(arrival->done - arrival->arrived).count());
    }
    messages += static_cast<int64_t>(keys.size());
    state.ResumeTiming();
  }
  inbox.Stop();
  Device::Shutdown();
  state.SetItemsProcessed(messages);
  if (!latencies.empty()) {
    std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
    state.counters["median_arrival_to_return_ms"] = latencies[latencies.size() / 2];
  }
}
BENCHMARK(BM_InboxBurst)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
