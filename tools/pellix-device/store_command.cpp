// pellix-device store: puts SMS into the image's message store and shows what it holds.
#include <mapidefs.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "kernel/device.h"
#include "message_print.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"

namespace pellix::tool {
namespace {

using namespace device::store;
using device::Utf16ToUtf8;
using device::Utf8ToUtf16;

const std::u16string* TextOf(const std::vector<Property>& props, uint32_t tag) {
  for (const Property& p : props)
    if (p.tag == tag) return &std::get<std::u16string>(p.value);
  return nullptr;
}

// The folder of the SMS store with that name, or the reason there is none, naming the folders
// there are.
device::Result<FolderRecord> SmsFolder(MessageStore& store, const std::u16string& name) {
  auto sms = SmsStore(store);
  if (!sms) return device::Fail("the image has no SMS store");
  if (auto folder = store.FolderByName(sms->key, name)) return *folder;
  std::string names;
  for (const FolderRecord& f : store.Folders(sms->key)) names += (names.empty() ? "" : ", ") + Utf16ToUtf8(f.name);
  return device::Fail("no folder " + Shown(Utf16ToUtf8(name)) + " in the SMS store (its folders: " + names + ")");
}

int Add(const Invocation& inv, const Arguments& args) {
  SmsMessage m;
  if (const std::string* v = args.Value("--folder")) m.folder = Utf8ToUtf16(*v);
  if (const std::string* v = args.Value("--from")) m.sender = Utf8ToUtf16(*v);
  if (const std::string* v = args.Value("--class")) m.message_class = Utf8ToUtf16(*v);
  for (const std::string& to : args.Values("--to")) m.to.push_back(Utf8ToUtf16(to));
  if (const std::string* v = args.Value("--time")) {
    auto t = ParseIsoTime(*v);
    if (!t) return UsageError(inv, "--time takes an ISO 8601 time such as 2026-12-05T20:30:00Z, not " + Shown(*v));
    m.delivery_time = *t;
  }
  m.read = args.Has("--read");
  const std::string& text = args.positional()[0];
  m.text = Utf8ToUtf16(text);
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  if (auto folder = SmsFolder(store, m.folder); !folder) return Fail(folder.error().message);
  auto key = DeliverSms(store, m);
  if (!key) return Fail(key.error().message);
  std::printf("%s\n", Hex(MakeEntryId(EntryKind::kMessage, *key)).c_str());
  return 0;
}

int List(const Invocation& inv, const Arguments& args) {
  const std::u16string folder_name = Utf8ToUtf16(args.Value("--folder") ? *args.Value("--folder") : "Inbox");
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  auto folder = SmsFolder(store, folder_name);
  if (!folder) return Fail(folder.error().message);
  for (int64_t after = 0;;) {
    auto keys = store.MessagesAfter(folder->key, after, 256);
    if (keys.empty()) break;
    for (int64_t key : keys) {
      auto props = store.ReadProperties(key);
      if (!props) continue;
      auto text = [&](uint32_t tag) {
        const std::u16string* t = TextOf(*props, tag);
        return t ? OneLine(*t) : std::string();
      };
      std::printf("%s\t%s\t%s\t%s\n", Hex(MakeEntryId(EntryKind::kMessage, key)).c_str(),
                  text(PR_MESSAGE_CLASS_W).c_str(), text(PR_SENDER_EMAIL_ADDRESS_W).c_str(),
                  text(PR_SUBJECT_W).c_str());
    }
    after = keys.back();
  }
  return 0;
}

int Show(const Invocation& inv, const Arguments& args) {
  const std::string& id = args.positional()[0];
  auto bytes = FromHex(id);
  auto ref = bytes ? ParseEntryId(bytes->data(), bytes->size()) : std::nullopt;
  if (!ref || ref->kind != EntryKind::kMessage) return Fail("not a message entry identifier: " + Shown(id));
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  if (!PrintMessage(store, ref->key)) return Fail("no such message: " + Shown(id));
  return 0;
}

int Store(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  if (args->subcommand() == "add") return Add(inv, *args);
  if (args->subcommand() == "list") return List(inv, *args);
  return Show(inv, *args);
}

}  // namespace

PELLIX_COMMAND("store",
               "store add [--folder Inbox] [--from ADDR] [--class CLASS] [--time ISO8601] [--read] "
               "[--to ADDR]... TEXT",
               "put an SMS into the message store; prints its entry identifier", Store);
PELLIX_COMMAND("store", "store list [--folder NAME]",
               "list a folder of the SMS store (entry id, class, sender, text)", Store);
PELLIX_COMMAND("store", "store show ENTRYID", "show a message's properties and recipients", Store);

}  // namespace pellix::tool
