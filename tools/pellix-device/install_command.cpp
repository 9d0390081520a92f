// pellix-device install, uninstall and convert: the module's registration exports and its
// message class conversion, run on an image as an installer runs them, with what they changed.
#include <mapidefs.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "command.h"
#include "install/message_class.h"
#include "kernel/device.h"
#include "kernel/registry.h"
#include "module_files.h"
#include "registry_print.h"
#include "resources/static_module.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"

namespace pellix::tool {
namespace {

using device::Registry;
using device::RegistryRoot;
using device::RegistryValue;
using device::store::MessageStore;

// Every value of the registry, keyed by root, folded key path and folded name.
struct ShownValue {
  std::u16string path;  // as written
  RegistryValue value;
};
using Snapshot = std::map<std::tuple<uint32_t, std::u16string, std::u16string>, ShownValue>;

void Collect(Registry& registry, RegistryRoot root, const std::u16string& path, Snapshot& out) {
  if (auto values = registry.Values(root, path))
    for (const RegistryValue& v : *values)
      out[{static_cast<uint32_t>(root), Registry::Fold(path), Registry::Fold(v.name)}] = {path, v};
  if (auto subkeys = registry.SubKeys(root, path))
    for (const std::u16string& sub : *subkeys) Collect(registry, root, path.empty() ? sub : path + u"\\" + sub, out);
}

Snapshot TakeSnapshot(Registry& registry) {
  Snapshot out;
  for (RegistryRoot root : {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine,
                            RegistryRoot::kUsers})
    Collect(registry, root, u"", out);
  return out;
}

void PrintValue(char mark, uint32_t root, const ShownValue& v) {
  std::printf("%c [%s\\%s] %s\n", mark, RegistryRootName(static_cast<RegistryRoot>(root)),
              device::Utf16ToUtf8(v.path).c_str(), RegistryExportLine(v.value).c_str());
}

// In key order: "+" for a value added, "-" for one removed, "~" for one changed (shown as it
// is now). Returns how many lines it printed.
int PrintChanges(const Snapshot& before, const Snapshot& after) {
  int changes = 0;
  auto was = before.begin();
  auto now = after.begin();
  while (was != before.end() || now != after.end()) {
    if (now == after.end() || (was != before.end() && was->first < now->first)) {
      PrintValue('-', std::get<0>(was->first), was->second), ++changes, ++was;
    } else if (was == before.end() || now->first < was->first) {
      PrintValue('+', std::get<0>(now->first), now->second), ++changes, ++now;
    } else {
      if (now->second.value.type != was->second.value.type || now->second.value.data != was->second.value.data)
        PrintValue('~', std::get<0>(now->first), now->second), ++changes;
      ++was, ++now;
    }
  }
  return changes;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; }
bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// The SMS store's Inbox, or 0 when the image has none.
int64_t SmsInbox(MessageStore& store) {
  auto sms = device::store::SmsStore(store);
  if (!sms) return 0;
  auto inbox = store.FolderByRole(sms->key, device::store::FolderRole::kInbox);
  return inbox ? inbox->key : 0;
}

// Messages of `folder` whose class is `cls` (ignoring case), and all messages of it.
struct ClassCount {
  int64_t of_class = 0;
  int64_t all = 0;
};
ClassCount CountClass(MessageStore& store, int64_t folder, std::u16string_view cls) {
  ClassCount count;
  const uint32_t ids[] = {PROP_ID(PR_MESSAGE_CLASS_W)};
  for (int64_t after = 0;;) {
    auto rows = store.RowsAfter(folder, after, 4096, nullptr, ids);
    if (!rows || rows->empty()) break;
    for (const auto& row : *rows) {
      ++count.all;
      for (const auto& p : row.props)
        if (const auto* text = std::get_if<std::u16string>(&p.value); text && SameIgnoringCase(*text, cls))
          ++count.of_class;
    }
    after = rows->back().key;
  }
  return count;
}

constexpr char16_t kSmsClass[] = u"IPM.SMStext";
constexpr char16_t kOwnClass[] = u"IPM.SMStext.Ravlo";

void PrintConverted(MessageStore& store, int64_t inbox, const ClassCount& before, std::u16string_view from,
                    std::u16string_view to) {
  const ClassCount after = CountClass(store, inbox, from);
  std::printf("converted %lld of %lld messages in the Inbox to %s\n",
              static_cast<long long>(before.of_class - after.of_class), static_cast<long long>(before.all),
              device::Utf16ToUtf8(std::u16string(to)).c_str());
}

// Runs a registration export of the module the image holds, loaded as the Inbox loads it, and
// prints what it changed in the registry and the store.
int RunExport(const Invocation& inv, bool install) {
  if (!ParseArguments(inv)) return kUsageStatus;
  if (!BootImage(inv)) return 1;
  device::Device& device = device::Device::Get();
  Registry& registry = device.Component<Registry>();
  if (registry.read_only()) return Fail("the image cannot be written");
  MessageStore& store = MessageStore::Of(device);
  if (!store.status()) return Fail(store.status().error().message);
  const int64_t inbox = SmsInbox(store);
  const std::u16string_view from = install ? kSmsClass : kOwnClass;
  const ClassCount before_messages = inbox ? CountClass(store, inbox, from) : ClassCount{};
  const Snapshot before = TakeSnapshot(registry);

  if (install)
    if (std::string why = InstallModuleFiles(device.image(), registry); !why.empty()) return Fail(why);
  HMODULE module = LoadLibraryW(u"\\Windows\\PellixRule.dll");
  if (!module) return Fail("the image holds no loadable \\Windows\\PellixRule.dll (install it first)");
  const char16_t* name = install ? u"DllRegisterServer" : u"DllUnregisterServer";
  auto* run = reinterpret_cast<HRESULT (*)()>(GetProcAddressW(module, name));
  if (!run) {
    FreeLibrary(module);
    return Fail("the module has no " + device::Utf16ToUtf8(name));
  }
  const HRESULT hr = run();
  FreeLibrary(module);

  if (PrintChanges(before, TakeSnapshot(registry)) == 0) std::printf("the registry is unchanged\n");
  if (inbox) PrintConverted(store, inbox, before_messages, from, install ? kOwnClass : kSmsClass);
  std::printf("result = 0x%08X\n", static_cast<unsigned>(hr));
  return hr == S_OK ? 0 : 1;
}

int Install(Invocation& inv) { return RunExport(inv, true); }
int Uninstall(Invocation& inv) { return RunExport(inv, false); }

// Shows on standard error how far a sweep of `inbox` has come, until stopped.
class Progress {
 public:
  Progress(MessageStore& store, int64_t inbox, int64_t total)
      : store_(store), inbox_(inbox), total_(total), thread_([this] { Run(); }) {}
  ~Progress() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::fprintf(stderr, "\rconverting: %lld of %lld messages\n", static_cast<long long>(total_),
                 static_cast<long long>(total_));
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; })) {
      const int64_t last = store_.LastChanged();
      const int64_t done = last ? store_.CountUpTo(inbox_, last) : 0;
      std::fprintf(stderr, "\rconverting: %lld of %lld messages", static_cast<long long>(done),
                   static_cast<long long>(total_));
    }
  }

  MessageStore& store_;
  const int64_t inbox_;
  const int64_t total_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is set
};

// Stores larger than this show their progress.
constexpr int64_t kProgressFrom = 5000;

int Convert(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const bool to_own = args->positional()[0] == "to-own";
  if (!BootImage(inv)) return 1;
  MessageStore& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  const int64_t inbox = SmsInbox(store);
  if (!inbox) return Fail("the image has no SMS store");
  const std::u16string_view from = to_own ? kSmsClass : kOwnClass;
  const ClassCount before = CountClass(store, inbox, from);

  HINSTANCE module = AttachStaticPellixRule();
  HRESULT hr;
  {
    std::optional<Progress> progress;
    if (before.all > kProgressFrom) progress.emplace(store, inbox, before.all);
    hr = ConvertAllMessages(to_own ? CONVERT_TO_OWN_CLASS : CONVERT_TO_SMS_CLASS);
  }
  if (module) FreeLibrary(module);
  PrintConverted(store, inbox, before, from, to_own ? kOwnClass : kSmsClass);
  std::printf("result = 0x%08X\n", static_cast<unsigned>(hr));
  return hr == S_OK ? 0 : 1;
}

}  // namespace

PELLIX_COMMAND("install", "install",
               "install the module as its installer does: its files, then its registration and the "
               "conversion of stored SMS to its class; prints what changed",
               Install);
PELLIX_COMMAND("uninstall", "uninstall",
               "remove the module's registration and convert its messages back; prints what changed "
               "(the files stay)",
               Uninstall);
PELLIX_COMMAND("convert", "convert to-own|back",
               "convert the Inbox's SMS to the module's class or back, as installing and removing do; "
               "prints how many changed",
               Convert);

}  // namespace pellix::tool
