// What `deliver` and the `deliver` step of scripts share: reading an SMS from arguments, and
// printing what the Inbox's rule clients answered.
#pragma once

#include <string>
#include <vector>

#include "inbox/inbox.h"
#include "store/sms_delivery.h"

namespace pellix::tool {

// Reads "[--from ADDR] [--class CLASS] [--time T] TEXT" from args[first...]. Returns the
// reason when the arguments are not that.
std::string ParseSms(const std::vector<std::string>& args, size_t first,
                     device::store::SmsMessage* message);

// One line per rule client: "rule client {CLSID}: handled N, event 0xNN|unset, result 0xNNNNNNNN".
std::vector<std::string> DescribeOutcomes(const device::inbox::Arrival& arrival);

}  // namespace pellix::tool
