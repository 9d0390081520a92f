#include "inbox/message_list.h"

#include <windows.h>
#include <mapitags.h>

#include <cstring>

#include "contacts/contact_store.h"
#include "kernel/device.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"

namespace pellix::device::inbox {
namespace {

const std::u16string* Text(const std::vector<store::Property>& props, uint32_t tag) {
  for (const auto& p : props)
    if (p.tag == tag && std::holds_alternative<std::u16string>(p.value)) return &std::get<std::u16string>(p.value);
  return nullptr;
}

std::optional<int64_t> Number(const std::vector<store::Property>& props, uint32_t tag) {
  for (const auto& p : props)
    if (p.id() == PROP_ID(tag) && std::holds_alternative<int64_t>(p.value)) return std::get<int64_t>(p.value);
  return std::nullopt;
}

// A sender written as "Name" +4930... shows as Name; a bare number as its contact's name.
std::u16string Who(Device& device, const std::u16string& sender) {
  if (sender.size() > 1 && sender[0] == u'"') {
    auto close = sender.find(u'"', 1);
    if (close != std::u16string::npos && close > 1) return sender.substr(1, close - 1);
  }
  auto& contacts = contacts::ContactStore::Of(device);
  if (contacts.status()) {
    if (auto match = contacts.FindByNumber(sender)) {
      if (auto contact = contacts.Load(match->oid); contact.ok()) return contact->DisplayName();
    }
  }
  return sender;
}

std::optional<std::vector<uint8_t>> ReadBinary(const std::u16string& key_path, const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, 0, &key) != ERROR_SUCCESS) return std::nullopt;
  std::vector<uint8_t> data(256);
  DWORD size = static_cast<DWORD>(data.size());
  DWORD type = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return data;
}

std::optional<std::u16string> ReadString(const std::u16string& key_path, const char16_t* name) {
  auto data = ReadBinary(key_path, name);
  if (!data || data->size() < 2) return std::nullopt;
  std::u16string text(data->size() / 2, u'\0');
  std::memcpy(text.data(), data->data(), text.size() * 2);
  if (auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

std::vector<ListRow> ReadMessageList(Device& device, size_t limit) {
  std::vector<ListRow> rows;
  auto& engine = store::MessageStore::Of(device);
  if (!engine.status()) return rows;
  auto sms = store::SmsStore(engine);
  if (!sms) return rows;
  auto folder = engine.FolderByRole(sms->key, store::FolderRole::kInbox);
  if (!folder) return rows;
  const int64_t count = engine.CountMessages(folder->key);
  for (int64_t i = count - 1; i >= 0 && rows.size() < limit; --i) {
    const int64_t key = engine.KeyAtOffset(folder->key, i);
    auto props = engine.ReadProperties(key);
    if (!key || !props) continue;
    ListRow row;
    row.key = key;
    const std::u16string* sender = Text(*props, PR_SENDER_EMAIL_ADDRESS_W);
    row.who = sender ? Who(device, *sender) : u"(unknown)";
    if (const std::u16string* text = Text(*props, PR_SUBJECT_W))
      row.first_line = text->substr(0, text->find_first_of(u"\r\n"));
    if (const std::u16string* cls = Text(*props, PR_MESSAGE_CLASS_W)) row.message_class = *cls;
    row.unread = !(Number(*props, PR_MESSAGE_FLAGS).value_or(0) & MSGFLAG_READ);
    if (auto when = Number(*props, PR_MESSAGE_DELIVERY_TIME)) {
      const std::string iso = store::FormatIsoTime(static_cast<uint64_t>(*when));  // YYYY-MM-DDTHH:MM:SSZ
      if (iso.size() >= 16) {
        const std::string shown = iso.substr(5, 5) + " " + iso.substr(11, 5);
        row.time.assign(shown.begin(), shown.end());
      }
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::u16string MessageTypeKey(std::u16string_view message_class) {
  std::u16string key = kMsgTypesKey;
  key += u'\\';
  for (char16_t c : message_class) key += c == u'.' ? u'\\' : c;
  return key;
}

std::optional<std::u16string> MessageTypeString(std::u16string_view message_class, const char16_t* name) {
  std::u16string cls(message_class);
  for (;;) {
    if (auto value = ReadString(MessageTypeKey(cls), name)) return value;
    auto dot = cls.find_last_of(u'.');
    if (dot == std::u16string::npos) return std::nullopt;
    cls.resize(dot);
  }
}

std::optional<GlyphRef> GlyphForClass(std::u16string_view message_class) {
  std::u16string cls(message_class);
  for (;;) {
    const std::u16string key = MessageTypeKey(cls);
    auto info = ReadBinary(key, u"GlyphInfo");
    auto module = ReadString(key, u"DLL");
    if (info && info->size() >= 8 && module) {
      uint32_t id = 0;
      std::memcpy(&id, info->data() + 4, 4);  // little-endian, the second word
      return GlyphRef{*module, id};
    }
    auto dot = cls.find_last_of(u'.');
    if (dot == std::u16string::npos) return std::nullopt;
    cls.resize(dot);
  }
}

}  // namespace pellix::device::inbox
