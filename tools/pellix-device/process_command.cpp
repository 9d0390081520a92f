// pellix-device process: runs the module's processing of an incoming message on a stored
// message, as the Inbox does when the message arrives, and shows the outcome and the message.
#include <cemapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

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
#include "store/message_store.h"

namespace pellix::tool {
namespace {

// ProcessMessage writes the event type only when it handled the message.
constexpr ULONG kEventUnset = 0xFFFFFFFF;

// The module's result in words.
std::string ResultName(HRESULT hr) {
  switch (static_cast<uint32_t>(hr)) {
    case 0x00000000: return "S_OK";
    case 0x00040380: return "MAPI_W_ERRORS_RETURNED: a property it reads is missing";
    case 0x8007000E: return "E_OUTOFMEMORY: out of memory";
    case 0x80070057: return "E_INVALIDARG: an argument is not valid";
    case 0x8004010F: return "MAPI_E_NOT_FOUND: not found";
    case 0x80040107: return "MAPI_E_INVALID_ENTRYID: not a valid entry identifier";
    case 0x80004005: return "E_FAIL: failed";
    default: return FAILED(hr) ? "a failure" : "a warning";
  }
}

// What the message lacks that the module needs, or empty: it reads the text, the class and the
// sender, in that order.
std::string MissingProperty(const std::vector<device::store::Property>& props) {
  auto has = [&](uint32_t tag) {
    return std::any_of(props.begin(), props.end(), [tag](const device::store::Property& p) { return p.tag == tag; });
  };
  if (!has(PR_SUBJECT_W)) return "the message has no text";
  if (!has(PR_MESSAGE_CLASS_W)) return "the message has no class";
  if (!has(PR_SENDER_EMAIL_ADDRESS_W)) return "the message has no sender";
  return {};
}

int Process(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const std::string& id = args->positional()[0];
  // Refused as `store show` refuses it: the module is only ever given a message.
  auto bytes = FromHex(id);
  auto ref = bytes ? device::store::ParseEntryId(bytes->data(), bytes->size()) : std::nullopt;
  if (!ref || ref->kind != device::store::EntryKind::kMessage) return Fail("not a message entry identifier: " + Shown(id));
  if (!BootImage(inv)) return 1;
  auto& messages = device::store::MessageStore::Of(device::Device::Get());
  if (!messages.status()) return Fail(messages.status().error().message);
  auto before = messages.ReadProperties(ref->key);
  if (!before) return Fail("no such message: " + Shown(id));

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
    PrintMessage(messages, ref->key);
    if (hr == S_OK) {
      status = 0;
    } else {
      std::fflush(stdout);
      const std::string missing = MissingProperty(*before);
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
      status = Fail((missing.empty() ? std::string("the module did not process the message") : missing) +
                    " (the module's result: " + code + " " + ResultName(hr) + ")");
    }
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
