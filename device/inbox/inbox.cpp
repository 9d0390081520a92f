#include "inbox/inbox.h"

#include <cemapi.h>
#include <objbase.h>

#include "kernel/device.h"
#include "person/journal.h"
#include "store/entry_id.h"
#include "store/message_store.h"

namespace pellix::device::inbox {
namespace {

// The Inbox thread's view of the message store: a session, the "SMS" store.
struct StoreSession {
  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;

  bool Open(store::MessageStore& engine) {
    if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session))) return false;
    auto sms = store::SmsStore(engine);
    if (!sms) return false;
    auto id = store::MakeEntryId(store::EntryKind::kStore, sms->key);
    return SUCCEEDED(session->OpenMsgStore(0, static_cast<ULONG>(id.size()),
                                           reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0,
                                           &store));
  }
  ~StoreSession() {
    if (store) store->Release();
    if (session) {
      session->Logoff(0, 0, 0);
      session->Release();
    }
  }
};

std::string Describe(const RuleOutcome& o) {
  std::string text = "rule client " + Utf16ToUtf8(o.clsid) + ": handled " +
                     std::to_string(static_cast<int>(o.handled)) + ", event " +
                     (o.event ? HexResult(*o.event) : std::string("unset")) + ", result " +
                     HexResult(static_cast<uint32_t>(o.result));
  if (o.threw) text += " (it threw)";
  return text;
}

}  // namespace

Inbox::Inbox(Device& device) : device_(device) {
  // Rule clients run module code that needs the rest of the device: they go before it does.
  device.AtShutdown([this] { Stop(); });
}

Inbox::~Inbox() { Stop(); }

Inbox& Inbox::Of(Device& device) { return device.Component<Inbox>(); }

void Inbox::Start() {
  std::lock_guard lock(mutex_);
  if (started_) return;
  started_ = true;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void Inbox::Stop() {
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    if (!started_) return;
    stop_ = true;
    thread = std::move(thread_);
  }
  changed_.notify_all();
  if (thread.joinable()) thread.join();
  std::lock_guard lock(mutex_);
  started_ = false;
}

bool Inbox::running() const {
  std::lock_guard lock(mutex_);
  return started_;
}

Result<int64_t> Inbox::Deliver(const store::SmsMessage& message) {
  auto& engine = store::MessageStore::Of(device_);
  if (!engine.status()) return engine.status().error();
  auto key = store::DeliverSms(engine, message);
  if (!key) return key.error();
  {
    std::lock_guard lock(mutex_);
    Arrival arrival;
    arrival.key = *key;
    arrival.entry_id = store::MakeEntryId(store::EntryKind::kMessage, *key);
    arrival.arrived = std::chrono::steady_clock::now();
    arrivals_[*key] = std::move(arrival);
    order_.push_back(*key);
    queue_.push_back(*key);
  }
  device_.journal().Append(journal_kind::kInbox,
                           "message " + std::to_string(*key) + " arrived from " +
                               Utf16ToUtf8(message.sender) + " (" +
                               Utf16ToUtf8(message.message_class) + ")");
  changed_.notify_all();
  return *key;
}

bool Inbox::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return queue_.empty() && !busy_; });
}

std::optional<Arrival> Inbox::Outcome(int64_t key) const {
  std::lock_guard lock(mutex_);
  auto it = arrivals_.find(key);
  if (it == arrivals_.end()) return std::nullopt;
  return it->second;
}

std::vector<int64_t> Inbox::Arrived() const {
  std::lock_guard lock(mutex_);
  return order_;
}

size_t Inbox::rule_client_count() const {
  std::lock_guard lock(mutex_);
  return clients_;
}

void Inbox::SetProcessedListener(std::function<void(int64_t key)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

void Inbox::Run() {
  // Rule clients are free-threaded in-process servers: the Inbox thread joins the
  // multithreaded apartment.
  bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  auto& engine = store::MessageStore::Of(device_);
  auto& journal = device_.journal();
  {
    StoreSession session;
    if (!engine.status() || !session.Open(engine))
      journal.Append(journal_kind::kInbox, "the SMS store cannot be opened; messages wait");
    RuleClients clients(journal);

    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) break;  // stopping, with nothing left to process
      int64_t key = queue_.front();
      queue_.pop_front();
      busy_ = true;
      lock.unlock();

      std::vector<RuleOutcome> outcomes;
      if (session.store) {
        clients.Sync(session.store);
        auto folder = engine.FolderOf(key);
        std::vector<uint8_t> folder_id;
        if (folder) folder_id = store::MakeEntryId(store::EntryKind::kFolder, *folder);
        outcomes = clients.Process(session.store,
                                   store::MakeEntryId(store::EntryKind::kMessage, key), folder_id);
      }
      const auto done = std::chrono::steady_clock::now();
      for (const RuleOutcome& o : outcomes)
        journal.Append(journal_kind::kInbox, "message " + std::to_string(key) + ": " + Describe(o));

      lock.lock();
      clients_ = clients.size();
      auto& arrival = arrivals_[key];
      arrival.processed = true;
      arrival.outcomes = std::move(outcomes);
      arrival.done = done;
      auto listener = listener_;
      lock.unlock();
      // What a client changed (fnevObjectModified) is read again by the list.
      if (listener) listener(key);
      lock.lock();
      busy_ = false;
      changed_.notify_all();
    }
    lock.unlock();
    clients.ReleaseAll();
    lock.lock();
    clients_ = 0;
  }
  if (com) CoUninitialize();
}

}  // namespace pellix::device::inbox
