// pellix-device store: puts SMS into the image's message store and shows what it holds.
#include <mapidefs.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "kernel/device.h"
#include "store/entry_id.h"
#include "store/mapi_objects.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "store/tag_names.h"

namespace pellix::tool {
namespace {

using namespace device::store;
using device::Utf16ToUtf8;
using device::Utf8ToUtf16;

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2) return std::nullopt;
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = text[j];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
    }
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

// One line per message: newlines in texts are shown as "\n".
std::string OneLine(const std::u16string& text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

const std::u16string* TextOf(const std::vector<Property>& props, uint32_t tag) {
  for (const Property& p : props)
    if (p.tag == tag) return &std::get<std::u16string>(p.value);
  return nullptr;
}

std::string ValueText(const Property& p) {
  switch (p.type()) {
    case PT_UNICODE: return OneLine(std::get<std::u16string>(p.value));
    case PT_BOOLEAN: return std::get<int64_t>(p.value) ? "1" : "0";
    case PT_R4: case PT_DOUBLE: case PT_APPTIME: return std::to_string(std::get<double>(p.value));
    case PT_STRING8: {
      const auto& b = std::get<std::vector<uint8_t>>(p.value);
      return std::string(b.begin(), b.end());
    }
    case PT_BINARY: case PT_CLSID: return Hex(std::get<std::vector<uint8_t>>(p.value));
    case PT_SYSTIME: {
      const int64_t t = std::get<int64_t>(p.value);
      return std::to_string(t) + " (" + FormatIsoTime(static_cast<uint64_t>(t)) + ")";
    }
    default: return std::to_string(std::get<int64_t>(p.value));
  }
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
  auto props = MessageProperties(store, ref->key);
  if (!props) return Fail("no such message: " + inv.args[1]);
  std::sort(props->begin(), props->end(), [](const Property& x, const Property& y) { return x.tag < y.tag; });
  for (const Property& p : *props) {
    const char* name = TagName(p.tag);
    std::printf("0x%08X%s%s = %s\n", p.tag, name ? " " : "", name ? name : "", ValueText(p).c_str());
  }
  auto recipients = store.Recipients(ref->key);
  if (recipients) {
    for (const Recipient& r : *recipients) {
      const char* type = r.type == MAPI_CC ? "cc" : r.type == MAPI_BCC ? "bcc" : "to";
      std::printf("recipient %s %s\n", type, OneLine(r.address).c_str());
    }
  }
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
