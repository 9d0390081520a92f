#include "console_delivery.h"

#include <chrono>

#include "inbox/inbox.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "message_print.h"
#include "store/entry_id.h"
#include "store/sms_delivery.h"

namespace pellix::tool {

// Long enough for a module that loads its skin and shows its bubble on a slow machine.
constexpr std::chrono::seconds kProcessingLimit{60};

device::Result<std::string> DeliverIncomingSms(const IncomingSms& sms) {
  device::store::SmsMessage message;
  message.sender = device::Utf8ToUtf16(sms.from);
  message.text = device::Utf8ToUtf16(sms.text);
  if (sms.report == 1) message.message_class = u"IPM.SMStext.REPORT.DR";
  if (sms.report == 2) message.message_class = u"IPM.SMStext.REPORT.NDR";
  // The phone's SMS service stores it and the Inbox hands it to its rule clients, the module
  // among them, on the Inbox's own thread.
  auto& inbox = device::inbox::Inbox::Of(device::Device::Get());
  inbox.Start();
  auto key = inbox.Deliver(message);
  if (!key) return key.error();
  if (!inbox.WaitUntilIdle(kProcessingLimit)) return device::Fail("the Inbox did not finish the message");
  return Hex(device::store::MakeEntryId(device::store::EntryKind::kMessage, *key));
}

}  // namespace pellix::tool
