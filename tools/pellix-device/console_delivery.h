// How the console delivers an incoming SMS to the device: one function, so that the way of
// delivering can change in one place.
#pragma once

#include <string>

#include "kernel/result.h"

namespace pellix::tool {

struct IncomingSms {
  std::string from;
  std::string text;
  int report = 0;  // 0 ordinary message, 1 delivery report, 2 non-delivery report
};

// Puts the message into the SMS store as the phone's SMS service does and hands it to the
// module's message processing as the Inbox does when a message arrives. Returns the stored
// message's entry identifier in hex. REQUIRES: a booted device with the module attached and
// its tables loaded.
device::Result<std::string> DeliverIncomingSms(const IncomingSms& sms);

}  // namespace pellix::tool
