// pellix-device deliver: an SMS arrives as on a handheld: the SMS service stores it in the
// SMS store's Inbox and the Inbox hands it to its rule clients.
#include "deliver_command.h"

#include <cstdio>

#include "command.h"
#include "kernel/device.h"
#include "message_print.h"
#include "store/entry_id.h"

namespace pellix::tool {

using device::Utf8ToUtf16;

std::string ParseSms(const std::vector<std::string>& a, size_t first,
                     device::store::SmsMessage* m) {
  bool have_text = false;
  for (size_t i = first; i < a.size(); ++i) {
    if (a[i] == "--from" || a[i] == "--class" || a[i] == "--time") {
      if (i + 1 >= a.size()) return a[i] + " needs a value";
      const std::string& v = a[++i];
      if (a[i - 1] == "--from") m->sender = Utf8ToUtf16(v);
      else if (a[i - 1] == "--class") m->message_class = Utf8ToUtf16(v);
      else if (auto t = device::store::ParseIsoTime(v)) m->delivery_time = *t;
      else return "not a time: " + v + " (use YYYY-MM-DDTHH:MM[:SS])";
    } else if (!have_text) {
      m->text = Utf8ToUtf16(a[i]);
      have_text = true;
    } else {
      return "one text only (quote it): " + a[i];
    }
  }
  if (!have_text) return "the message's text is missing";
  return {};
}

std::vector<std::string> DescribeOutcomes(const device::inbox::Arrival& arrival) {
  std::vector<std::string> lines;
  for (const auto& o : arrival.outcomes) {
    char event[16] = "unset";
    if (o.event) std::snprintf(event, sizeof(event), "0x%02X", static_cast<unsigned>(*o.event));
    char line[256];
    std::snprintf(line, sizeof(line), "rule client %s: handled %d, event %s, result 0x%08X%s",
                  device::Utf16ToUtf8(o.clsid).c_str(), static_cast<int>(o.handled), event,
                  static_cast<unsigned>(o.result), o.threw ? " (it threw)" : "");
    lines.push_back(line);
  }
  if (lines.empty()) lines.push_back("no rule client is registered");
  return lines;
}

namespace {

// Long enough for a module that loads its skin and shows its bubble on a slow machine.
constexpr std::chrono::seconds kProcessingLimit{60};

int Deliver(Invocation& inv) {
  device::store::SmsMessage message;
  if (std::string why = ParseSms(inv.args, 0, &message); !why.empty()) {
    std::fprintf(stderr, "pellix-device: %s\n", why.c_str());
    return UsageError("deliver");
  }
  if (!BootImage(inv)) return 1;
  auto& inbox = device::inbox::Inbox::Of(device::Device::Get());
  inbox.Start();
  auto key = inbox.Deliver(message);
  if (!key) return Fail(key.error().message);
  if (!inbox.WaitUntilIdle(kProcessingLimit)) return Fail("the Inbox did not finish the message");
  std::printf("%s\n", Hex(device::store::MakeEntryId(device::store::EntryKind::kMessage, *key)).c_str());
  auto arrival = inbox.Outcome(*key);
  if (arrival)
    for (const std::string& line : DescribeOutcomes(*arrival)) std::printf("%s\n", line.c_str());
  inbox.Stop();
  return 0;
}

}  // namespace

PELLIX_COMMAND("deliver", "deliver [--from ADDR] [--class CLASS] [--time T] TEXT",
               "an SMS arrives through the SMS service and the Inbox; prints its entry "
               "identifier and what each rule client answered",
               Deliver);

}  // namespace pellix::tool
