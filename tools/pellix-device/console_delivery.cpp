#include "console_delivery.h"

#include <cemapi.h>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "message_print.h"
#include "platform/message_store.h"
#include "rule/process_message.h"
#include "store/entry_id.h"
#include "store/sms_delivery.h"

namespace pellix::tool {

// The message is handed to the module as the `process` command does. The device's Inbox
// (inbox::Inbox::Deliver, then WaitUntilIdle) is the way once a new image registers the module
// as its rule client; today's images register none, so the Inbox would store the message and
// pass it to nobody.
device::Result<std::string> DeliverIncomingSms(const IncomingSms& sms) {
  device::store::SmsMessage message;
  message.sender = device::Utf8ToUtf16(sms.from);
  message.text = device::Utf8ToUtf16(sms.text);
  if (sms.report == 1) message.message_class = u"IPM.SMStext.REPORT.DR";
  if (sms.report == 2) message.message_class = u"IPM.SMStext.REPORT.NDR";
  auto& engine = device::store::MessageStore::Of(device::Device::Get());
  auto key = device::store::DeliverSms(engine, message);
  if (!key) return key.error();
  const std::vector<uint8_t> id = device::store::MakeEntryId(device::store::EntryKind::kMessage, *key);

  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;
  ULONG cbInbox = 0;
  LPENTRYID inbox = nullptr;
  std::string problem;
  if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session))) {
    problem = "cannot log on to the message store";
  } else if (FAILED(OpenStoreByName(session, SMS_STORE_NAME, &store))) {
    problem = "the image has no SMS store";
  } else if (FAILED(store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox, &inbox, nullptr))) {
    problem = "the SMS store has no Inbox";
  } else {
    ULONG event = 0;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    const HRESULT hr = ProcessMessage(store, static_cast<ULONG>(id.size()),
                                      reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(id.data())),
                                      cbInbox, inbox, &event, &handled);
    if (FAILED(hr)) problem = "the module's processing failed";
  }
  MAPIFreeBuffer(inbox);
  if (store) store->Release();
  if (session) {
    session->Logoff(0, 0, 0);
    session->Release();
  }
  if (!problem.empty()) return device::Fail(problem);
  return Hex(id);
}

}  // namespace pellix::tool
