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

int Add(const Invocation& inv) {
  SmsMessage m;
  std::string text;
  bool have_text = false;
  const auto& a = inv.args;
  for (size_t i = 1; i < a.size(); ++i) {
    auto value = [&]() -> const std::string* { return i + 1 < a.size() ? &a[++i] : nullptr; };
    if (a[i] == "--folder" || a[i] == "--from" || a[i] == "--class" || a[i] == "--time" || a[i] == "--to") {
      const std::string option = a[i];
      const std::string* v = value();
      if (!v) return UsageError("store");
      if (option == "--folder") m.folder = Utf8ToUtf16(*v);
      else if (option == "--from") m.sender = Utf8ToUtf16(*v);
      else if (option == "--class") m.message_class = Utf8ToUtf16(*v);
      else if (option == "--to") m.to.push_back(Utf8ToUtf16(*v));
      else if (auto t = ParseIsoTime(*v)) m.delivery_time = *t;
      else return Fail("not a time: " + *v + " (use YYYY-MM-DDTHH:MM[:SS])");
    } else if (a[i] == "--read") {
      m.read = true;
    } else if (!have_text) {
      text = a[i];
      have_text = true;
    } else {
      return UsageError("store");
    }
  }
  if (!have_text) return UsageError("store");
  m.text = Utf8ToUtf16(text);
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  auto key = DeliverSms(store, m);
  if (!key) return Fail(key.error().message);
  std::printf("%s\n", Hex(MakeEntryId(EntryKind::kMessage, *key)).c_str());
  return 0;
}

int List(const Invocation& inv) {
  std::u16string folder_name = u"Inbox";
  const auto& a = inv.args;
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == "--folder" && i + 1 < a.size()) folder_name = Utf8ToUtf16(a[++i]);
    else return UsageError("store");
  }
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  auto sms = SmsStore(store);
  if (!sms) return Fail("the image has no SMS store");
  auto folder = store.FolderByName(sms->key, folder_name);
  if (!folder) return Fail("no folder \"" + Utf16ToUtf8(folder_name) + "\" in the SMS store");
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

int Show(const Invocation& inv) {
  if (inv.args.size() != 2) return UsageError("store");
  auto bytes = FromHex(inv.args[1]);
  auto ref = bytes ? ParseEntryId(bytes->data(), bytes->size()) : std::nullopt;
  if (!ref || ref->kind != EntryKind::kMessage) return Fail("not a message entry identifier: " + inv.args[1]);
  if (!BootImage(inv)) return 1;
  auto& store = MessageStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  if (!PrintMessage(store, ref->key)) return Fail("no such message: " + inv.args[1]);
  return 0;
}

int Store(Invocation& inv) {
  if (inv.args.empty()) return UsageError("store");
  const std::string& sub = inv.args[0];
  if (sub == "add") return Add(inv);
  if (sub == "list") return List(inv);
  if (sub == "show") return Show(inv);
  return UsageError("store");
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
