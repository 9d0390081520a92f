#include "store/sms_delivery.h"

#include <mapidefs.h>

#include <chrono>
#include <cstdio>

namespace pellix::device::store {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

bool Digits(std::string_view text, size_t at, size_t count, unsigned& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

}  // namespace

std::optional<StoreRecord> SmsStore(MessageStore& store) {
  for (StoreRecord& s : store.Stores())
    if (s.name == u"SMS") return std::move(s);
  return std::nullopt;
}

Result<int64_t> DeliverSms(MessageStore& store, const SmsMessage& message) {
  auto sms = SmsStore(store);
  if (!sms) return Fail("the image has no SMS store", MAPI_E_NOT_FOUND);
  auto folder = store.FolderByName(sms->key, message.folder);
  if (!folder) return Fail("no folder \"" + std::string(message.folder.begin(), message.folder.end()) + "\"", MAPI_E_NOT_FOUND);
  int64_t flags = message.read ? MSGFLAG_READ : 0;
  if (folder->role == FolderRole::kSentItems || folder->role == FolderRole::kOutbox) flags |= MSGFLAG_FROMME;
  std::vector<Property> props = {
      TextProperty(PR_MESSAGE_CLASS_W, message.message_class),
      TextProperty(PR_SUBJECT_W, message.text),
      IntProperty(PR_MESSAGE_DELIVERY_TIME, static_cast<int64_t>(message.delivery_time.value_or(FileTimeNow()))),
      IntProperty(PR_MESSAGE_FLAGS, flags),
  };
  if (!message.sender.empty()) props.push_back(TextProperty(PR_SENDER_EMAIL_ADDRESS_W, message.sender));
  std::vector<Recipient> recipients;
  for (const std::u16string& to : message.to) recipients.push_back(Recipient{MAPI_TO, to, u""});
  return store.CreateMessage(folder->key, props, recipients);
}

Result<std::vector<std::u16string>> SendSms(MessageStore& store, int64_t message) {
  auto folder_key = store.FolderOf(message);
  if (!folder_key) return folder_key.error();
  auto folder = store.FindFolder(*folder_key);
  if (!folder) return Fail("message without folder", MAPI_E_NOT_FOUND);
  auto outbox = store.FolderByRole(folder->store, FolderRole::kOutbox);
  auto sent = store.FolderByRole(folder->store, FolderRole::kSentItems);
  if (!outbox || !sent) return Fail("the store has no Outbox or Sent Items", MAPI_E_NOT_FOUND);
  auto recipients = store.Recipients(message);
  if (!recipients) return recipients.error();
  std::vector<std::u16string> to;
  for (const Recipient& r : *recipients)
    if (!r.address.empty()) to.push_back(r.address);
  if (to.empty()) return Fail("no recipient", MAPI_E_NO_RECIPIENTS);
  if (folder->key != outbox->key) {
    const int64_t keys[] = {message};
    if (Status s = store.MoveMessages(keys, folder->key, outbox->key); !s) return s.error();
  }
  // Delivered to the network: the service stamps it and files it in Sent Items.
  const std::vector<Property> props = {
      IntProperty(PR_MESSAGE_FLAGS, MSGFLAG_FROMME | MSGFLAG_READ),
      IntProperty(PR_MESSAGE_DELIVERY_TIME, static_cast<int64_t>(FileTimeNow())),
  };
  if (Status s = store.WriteProperties(message, props); !s) return s.error();
  const int64_t keys[] = {message};
  if (Status s = store.MoveMessages(keys, outbox->key, sent->key); !s) return s.error();
  return to;
}

uint64_t FileTimeNow() {
  using namespace std::chrono;
  const auto since_1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<uint64_t>((since_1970 * 10) + kEpochDelta * kTicksPerSecond);
}

std::optional<uint64_t> ParseIsoTime(std::string_view text) {
  unsigned year, month, day, hour, minute, second = 0;
  if (!Digits(text, 0, 4, year) || text.size() < 16 || text[4] != '-' || !Digits(text, 5, 2, month) ||
      text[7] != '-' || !Digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != ' ') ||
      !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute))
    return std::nullopt;
  size_t at = 16;
  uint64_t fraction_ticks = 0;
  if (at < text.size() && text[at] == ':') {
    if (!Digits(text, at + 1, 2, second)) return std::nullopt;
    at += 3;
    // A decimal fraction of the second, with a point or a comma; ticks are 100 ns, so digits
    // beyond the seventh are dropped.
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
      ++at;
      const size_t first = at;
      uint64_t scale = kTicksPerSecond / 10;
      for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
        fraction_ticks += static_cast<uint64_t>(text[at] - '0') * scale;
      if (at == first) return std::nullopt;
    }
  }
  // "Z", an offset from UTC (+01:00, -0530, +09), or nothing, which is taken as UTC.
  int64_t offset_minutes = 0;
  if (at < text.size() && text[at] == 'Z') {
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const int sign = text[at] == '-' ? -1 : 1;
    unsigned offset_hours = 0, offset_rest = 0;
    if (!Digits(text, at + 1, 2, offset_hours)) return std::nullopt;
    at += 3;
    if (at < text.size() && text[at] == ':') ++at;
    if (at < text.size()) {
      if (!Digits(text, at, 2, offset_rest)) return std::nullopt;
      at += 2;
    }
    if (offset_hours > 23 || offset_rest > 59) return std::nullopt;
    offset_minutes = sign * static_cast<int64_t>(offset_hours * 60 + offset_rest);
  }
  if (at != text.size()) return std::nullopt;
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || hour > 23 ||
      minute > 59 || second > 59)
    return std::nullopt;
  const int64_t days = DaysFromCivil(year, month, day);
  if (DaysFromCivil(year, month, 1) + day - 1 != days) return std::nullopt;
  // 29 February of a year that has none lands on 1 March.
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  if (m != month) return std::nullopt;
  const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second + kEpochDelta - offset_minutes * 60;
  if (seconds < 0) return std::nullopt;
  return static_cast<uint64_t>(seconds) * kTicksPerSecond + fraction_ticks;
}

std::string FormatIsoTime(uint64_t filetime) {
  const int64_t seconds = static_cast<int64_t>(filetime / kTicksPerSecond) - kEpochDelta;
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const int64_t rest = seconds - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  char out[32];
  std::snprintf(out, sizeof out, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(y), m, d,
                static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                static_cast<long long>(rest % 60));
  return out;
}

}  // namespace pellix::device::store
