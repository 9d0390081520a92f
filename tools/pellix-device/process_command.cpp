// pellix-device process: runs the module's processing of an incoming message on a stored
// message, as the Inbox does when the message arrives, and shows the outcome and the message.
#include <cemapi.h>

#include <cstdio>

#include "command.h"
#include "core/settings.h"
#include "kernel/device.h"
#include "message_print.h"
#include "bubble/bubble_thread.h"
#include "platform/message_store.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/process_message.h"
#include "store/entry_id.h"

namespace pellix::tool {
namespace {

// ProcessMessage writes the event type only when it handled the message.
constexpr ULONG kEventUnset = 0xFFFFFFFF;

int Process(Invocation& inv) {
  if (inv.args.size() != 1) return UsageError("process");
  auto bytes = FromHex(inv.args[0]);
  if (!bytes || bytes->empty()) return Fail("not an entry identifier: " + inv.args[0]);
  if (!BootImage(inv)) return 1;

  // The module as the rule client finds it after its initialisation.
  HINSTANCE module = AttachStaticPellixRule();
  GetSettings();
  LoadSmileyTable();
  LoadTemplates();

  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;
  ULONG cbInbox = 0;
  LPENTRYID inbox = nullptr;
  int status = 0;
  HRESULT hr = MAPILogonEx(0, nullptr, nullptr, 0, &session);
  if (FAILED(hr)) {
    status = Fail("cannot log on to the message store");
  } else if (FAILED(OpenStoreByName(session, SMS_STORE_NAME, &store))) {
    status = Fail("the image has no SMS store");
  } else if (FAILED(store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox, &inbox, nullptr))) {
    status = Fail("the SMS store has no Inbox");
  } else {
    ULONG event = kEventUnset;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    hr = ProcessMessage(store, static_cast<ULONG>(bytes->size()),
                        reinterpret_cast<LPENTRYID>(bytes->data()), cbInbox, inbox, &event,
                        &handled);
    std::printf("handled = %d\n", static_cast<int>(handled));
    if (event == kEventUnset) std::printf("event = unset\n");
    else std::printf("event = 0x%02X\n", static_cast<unsigned>(event));
    std::printf("result = 0x%08X\n", static_cast<unsigned>(hr));
    auto ref = device::store::ParseEntryId(bytes->data(), bytes->size());
    if (ref && ref->kind == device::store::EntryKind::kMessage)
      PrintMessage(device::store::MessageStore::Of(device::Device::Get()), ref->key);
    status = hr == S_OK ? 0 : 1;
  }

  ShutdownBubbleThread();
  MAPIFreeBuffer(inbox);
  if (store) store->Release();
  if (session) {
    session->Logoff(0, 0, 0);
    session->Release();
  }
  FreeTemplates();
  FreeSmileyTable();
  if (module) FreeLibrary(module);
  return status;
}

}  // namespace

PELLIX_COMMAND("process", "process ENTRYID",
               "run the module's processing of an incoming message on a stored message; prints "
               "the outcome and the message",
               Process);

}  // namespace pellix::tool
