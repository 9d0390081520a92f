// How the console makes sure Pellix serves the image's Inbox, and how it delivers an incoming
// SMS to the device: through the SMS service and the Inbox, as `deliver` and scripts do.
#pragma once

#include <string>
#include <vector>

#include "kernel/result.h"

namespace pellix::tool {

struct IncomingSms {
  std::string from;
  std::string text;
  int report = 0;  // 0 ordinary message, 1 delivery report, 2 non-delivery report
  int count = 1;   // a burst of this many copies, arriving at once
};

// One delivered message: its entry identifier in hex and one line per rule client, as
// `deliver` prints them.
struct DeliveredSms {
  std::string entry_id;
  std::vector<std::string> outcomes;
};

// Registers the module (already attached to the device) as an installer does when the image's
// Inbox lacks it as its SMS rule client: the rule client, the form module, the glyph and the
// conversion of stored messages. True when it installed it now, false when it was in place.
// REQUIRES: a booted device with the module attached.
device::Result<bool> EnsurePellixInstalled();

// Hands the messages to the SMS service, which stores them in the Inbox, and waits until the
// Inbox's rule clients have processed them. REQUIRES: a booted device whose Inbox runs.
device::Result<std::vector<DeliveredSms>> DeliverIncomingSms(const IncomingSms& sms);

}  // namespace pellix::tool
