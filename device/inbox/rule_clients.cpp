#include "inbox/rule_clients.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "kernel/device_image.h"
#include "person/journal.h"

namespace pellix::device::inbox {
namespace {

using GetClassObjectProc = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadProc = HRESULT (*)();

// The default value of HKCR "\CLSID\{...}\InprocServer32": the module that serves the class.
std::optional<std::u16string> InprocServer(const std::u16string& clsid) {
  std::u16string path = u"\\CLSID\\" + clsid + u"\\InprocServer32";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, 0, &key) != ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str() + 1, 0, 0, &key) != ERROR_SUCCESS)
    return std::nullopt;
  WCHAR value[MAX_PATH] = {};
  DWORD type = 0;
  DWORD size = sizeof(value) - sizeof(WCHAR);
  LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !value[0])
    return std::nullopt;
  return std::u16string(value);
}

}  // namespace

std::string HexResult(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", value);
  return text;
}

RuleClients::RuleClients(Journal& journal) : journal_(journal) {}

RuleClients::~RuleClients() { ReleaseAll(); }

void RuleClients::Note(const std::string& text) { journal_.Append(journal_kind::kInbox, text); }

std::vector<std::u16string> RuleClients::Registered() const {
  std::vector<std::u16string> classes;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRulesKey, 0, 0, &key) != ERROR_SUCCESS) return classes;
  for (DWORD index = 0;; ++index) {
    WCHAR name[64];
    DWORD cch = 64;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG status = RegEnumValueW(key, index, name, &cch, nullptr, &type,
                                reinterpret_cast<LPBYTE>(&value), &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    // Other values (a longer name, another type) are not rule clients; skip them.
    if (status != ERROR_SUCCESS) continue;
    if (type == REG_DWORD && size == sizeof(DWORD) && value == 1) classes.emplace_back(name, cch);
  }
  RegCloseKey(key);
  return classes;
}

std::optional<std::string> RuleClients::Create(const std::u16string& clsid_text, IMsgStore* store,
                                               Client* out) {
  CLSID clsid{};
  if (FAILED(CLSIDFromString(clsid_text.c_str(), &clsid))) return "not a class identifier";
  auto server = InprocServer(clsid_text);
  if (!server) return "no InprocServer32 for the class";
  HMODULE module = LoadLibraryW(server->c_str());
  if (!module) return "cannot load " + Utf16ToUtf8(*server);
  auto get = reinterpret_cast<GetClassObjectProc>(GetProcAddressW(module, u"DllGetClassObject"));
  if (!get) {
    FreeLibrary(module);
    return Utf16ToUtf8(*server) + " has no DllGetClassObject";
  }
  IClassFactory* factory = nullptr;
  IMailRuleClient* client = nullptr;
  HRESULT hr = E_FAIL;
  try {
    hr = get(clsid, IID_IClassFactory, reinterpret_cast<LPVOID*>(&factory));
    if (SUCCEEDED(hr) && factory) {
      hr = factory->CreateInstance(nullptr, IID_IMailRuleClient, reinterpret_cast<LPVOID*>(&client));
      factory->Release();
    }
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  if (FAILED(hr) || !client) {
    FreeLibrary(module);
    return "the class factory answered " + HexResult(static_cast<uint32_t>(hr));
  }
  MRCACCESS access = MRC_ACCESS_NONE;
  try {
    hr = client->Initialize(store, &access);
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  Note("rule client " + Utf16ToUtf8(clsid_text) + " from " + Utf16ToUtf8(*server) +
       ": Initialize " + HexResult(static_cast<uint32_t>(hr)) + ", access " +
       std::to_string(static_cast<int>(access)));
  *out = Client{clsid_text, module, client};
  return std::nullopt;
}

void RuleClients::Release(Client& c) {
  try {
    if (c.client) c.client->Release();
  } catch (...) {
    Note("rule client " + Utf16ToUtf8(c.clsid) + ": Release threw");
  }
  c.client = nullptr;
  if (c.module) FreeLibrary(c.module);
  c.module = nullptr;
  Note("rule client " + Utf16ToUtf8(c.clsid) + " released");
}

void RuleClients::Sync(IMsgStore* store) {
  const std::vector<std::u16string> registered = Registered();
  auto listed = [&](const std::u16string& clsid) {
    return std::find(registered.begin(), registered.end(), clsid) != registered.end();
  };
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (listed(it->clsid)) {
      ++it;
    } else {
      Release(*it);
      it = clients_.erase(it);
    }
  }
  std::erase_if(failures_, [&](const Failure& f) { return !listed(f.clsid); });

  std::vector<Client> ordered;
  for (const std::u16string& clsid : registered) {
    auto have = std::find_if(clients_.begin(), clients_.end(),
                             [&](const Client& c) { return c.clsid == clsid; });
    if (have != clients_.end()) {
      ordered.push_back(*have);
      continue;
    }
    Client made;
    auto failure = Create(clsid, store, &made);
    auto known = std::find_if(failures_.begin(), failures_.end(),
                              [&](const Failure& f) { return f.clsid == clsid; });
    if (!failure) {
      if (known != failures_.end()) failures_.erase(known);
      ordered.push_back(made);
      continue;
    }
    if (known == failures_.end() || known->reason != *failure) {
      Note("rule client " + Utf16ToUtf8(clsid) + " not created: " + *failure);
      if (known == failures_.end()) failures_.push_back({clsid, *failure});
      else known->reason = *failure;
    }
  }
  clients_ = std::move(ordered);
}

std::vector<RuleOutcome> RuleClients::Process(IMsgStore* store, const std::vector<uint8_t>& message,
                                              const std::vector<uint8_t>& folder) {
  std::vector<RuleOutcome> outcomes;
  for (Client& c : clients_) {
    RuleOutcome outcome;
    outcome.clsid = c.clsid;
    ULONG event = 0;
    constexpr ULONG kUnset = 0xFFFFFFFF;
    event = kUnset;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    try {
      outcome.result = c.client->ProcessMessage(
          store, static_cast<ULONG>(message.size()),
          reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(message.data())),
          static_cast<ULONG>(folder.size()),
          reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(folder.data())), &event, &handled);
    } catch (...) {
      // A rule client's fault must not take the Inbox down: the message stays as it is.
      outcome.threw = true;
      outcome.result = E_UNEXPECTED;
      handled = MRC_NOT_HANDLED;
    }
    outcome.handled = handled;
    if (event != kUnset) outcome.event = event;
    outcomes.push_back(outcome);
    if (handled == MRC_HANDLED_DONTCONTINUE) break;
  }
  return outcomes;
}

void RuleClients::ReleaseAll() {
  for (Client& c : clients_) Release(c);
  clients_.clear();
  failures_.clear();
}

}  // namespace pellix::device::inbox
