// The Inbox's rule clients: the COM objects registered under HKLM
// "Software\Microsoft\Inbox\Svc\SMS\Rules" (a class identifier with value 1), each created the
// way the platform's Inbox creates it: the class's "InprocServer32" module is loaded with
// LoadLibraryW, its DllGetClassObject gives a class factory, CreateInstance the IMailRuleClient,
// and Initialize is called once. Every incoming message then goes through ProcessMessage.
//
// Threads: owned by the Inbox thread; nothing here is called from any other thread.
#pragma once

#include <cemapi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellix::device {
class Journal;
}

namespace pellix::device::inbox {

inline constexpr char16_t kRulesKey[] = u"Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules";

// What one rule client answered for one message.
struct RuleOutcome {
  std::u16string clsid;  // "{...}" as registered
  HRESULT result = S_OK;
  MRCHANDLED handled = MRC_NOT_HANDLED;
  std::optional<ULONG> event;  // set when the client wrote the event type
  bool threw = false;          // ProcessMessage ended by an exception
};

class RuleClients {
 public:
  explicit RuleClients(Journal& journal);
  ~RuleClients();
  RuleClients(const RuleClients&) = delete;
  RuleClients& operator=(const RuleClients&) = delete;

  // Brings the clients in line with the registry: creates and initialises the classes
  // registered since the last call (a module installed after the Inbox started serves the
  // next message), and releases those whose registration was removed.
  void Sync(IMsgStore* store);
  // Hands the message to every client in registry order, until one answers
  // MRC_HANDLED_DONTCONTINUE. A client that throws is reported and the message goes on.
  std::vector<RuleOutcome> Process(IMsgStore* store, const std::vector<uint8_t>& message,
                                   const std::vector<uint8_t>& folder);
  // Releases every client, then unloads its module.
  void ReleaseAll();
  size_t size() const { return clients_.size(); }

 private:
  struct Client {
    std::u16string clsid;
    HMODULE module = nullptr;
    IMailRuleClient* client = nullptr;
  };
  struct Failure {
    std::u16string clsid;
    std::string reason;
  };

  // The registered classes, in the registry's order.
  std::vector<std::u16string> Registered() const;
  // Creates and initialises one client; the reason when it cannot.
  std::optional<std::string> Create(const std::u16string& clsid, IMsgStore* store, Client* out);
  void Release(Client& client);
  void Note(const std::string& text);

  Journal& journal_;
  std::vector<Client> clients_;
  // Classes that could not be created, with the reason last journalled, so that a module
  // that stays missing is reported once rather than at every message.
  std::vector<Failure> failures_;
};

// "0x%08X".
std::string HexResult(uint32_t value);

}  // namespace pellix::device::inbox
