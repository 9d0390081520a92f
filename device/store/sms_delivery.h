// Puts messages into the store as the handheld's SMS service does: the text in the subject,
// the sender's number in PR_SENDER_EMAIL_ADDRESS_W, class "IPM.SMStext", the delivery time,
// and the read flag. Used by the pellix-device tool, the Inbox host and tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/result.h"
#include "store/message_store.h"

namespace pellix::device::store {

struct SmsMessage {
  std::u16string folder = u"Inbox";  // a folder of the "SMS" store, by name
  std::u16string sender;
  std::u16string text;
  std::u16string message_class = u"IPM.SMStext";
  std::optional<uint64_t> delivery_time;  // FILETIME ticks; the host's current time if unset
  bool read = false;
  std::vector<std::u16string> to;
};

// Stores `message` in one transaction and returns its key.
Result<int64_t> DeliverSms(MessageStore& store, const SmsMessage& message);

// Sends the message `message` as the phone's SMS service does when a message is submitted:
// through its store's Outbox (it is moved there when it is elsewhere) into Sent Items, marked
// sent by the person and read, stamped with the time it left. MAPI_E_NO_RECIPIENTS when it
// has no recipient with an address. Returns the recipients' addresses.
Result<std::vector<std::u16string>> SendSms(MessageStore& store, int64_t message);

// The "SMS" store, or null when the image has none.
std::optional<StoreRecord> SmsStore(MessageStore& store);

// FILETIME ticks (100 ns since 1601-01-01 UTC) of the host's current time.
uint64_t FileTimeNow();
// Parses "YYYY-MM-DDTHH:MM[:SS][Z]" (a space may stand for the T), read as UTC.
std::optional<uint64_t> ParseIsoTime(std::string_view text);
// "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatIsoTime(uint64_t filetime);

}  // namespace pellix::device::store
