// What the Inbox's message list shows, read from the SMS store, the contact store and the
// Inbox's registry: one row per message of the Inbox folder, newest first, and for each message
// class its list glyph and its form module.
//
// Threads: any; the stores and the registry take their own locks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellix::device {
class Device;
}

namespace pellix::device::inbox {

inline constexpr char16_t kMsgTypesKey[] = u"Software\\Microsoft\\Inbox\\MsgTypes";

// A bitmap resource of a module, as a message type's "GlyphInfo" names it.
struct GlyphRef {
  std::u16string module;  // the message type's "DLL"
  uint32_t bitmap_id = 0;
};

struct ListRow {
  int64_t key = 0;
  std::u16string who;         // the contact's name, a name the sender gave, or the number
  std::u16string first_line;  // the text up to its first line break
  std::u16string time;        // "MM-DD HH:MM", UTC
  std::u16string message_class;
  bool unread = false;
};

// The Inbox folder's messages, newest first, at most `limit`.
std::vector<ListRow> ReadMessageList(Device& device, size_t limit);

// The registry key of a message class: "IPM.SMStext.Ravlo" is "...\MsgTypes\IPM\SMStext\Ravlo".
std::u16string MessageTypeKey(std::u16string_view message_class);
// The string value `name` of the class's key, or of the nearest parent class's key that has
// it ("IPM.SMStext.Ravlo" falls back to "IPM.SMStext").
std::optional<std::u16string> MessageTypeString(std::u16string_view message_class, const char16_t* name);
// The class's glyph: its "GlyphInfo" (32 bytes: size, bitmap id, ...) with the "DLL" of the
// same key.
std::optional<GlyphRef> GlyphForClass(std::u16string_view message_class);

}  // namespace pellix::device::inbox
