// The device's messaging Inbox. An SMS arrives through the SMS service, which writes it into
// the "SMS" store's Inbox folder; the Inbox then hands it to its rule clients (RuleClients) on
// its own thread, one message after another in order of arrival, and applies what they
// answered: a message a client modified is read again for the message list.
//
// Threads: Deliver, WaitUntilIdle and the queries may be called from any thread. The Inbox
// thread owns the rule clients, the message store session and the rule clients' calls. Arrivals
// queue under the Inbox's lock, so none is lost however many arrive at once; a message that
// arrives before the Inbox starts waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "inbox/rule_clients.h"
#include "kernel/result.h"
#include "store/sms_delivery.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::inbox {

// One message that arrived, and what the rule clients did with it.
struct Arrival {
  int64_t key = 0;                // the message's key in the store
  std::vector<uint8_t> entry_id;  // its entry identifier
  bool processed = false;         // the rule clients have seen it
  std::vector<RuleOutcome> outcomes;
  // When the SMS service stored it, and when the last rule client returned from it.
  std::chrono::steady_clock::time_point arrived{};
  std::chrono::steady_clock::time_point done{};
};

class Inbox {
 public:
  explicit Inbox(Device& device);
  ~Inbox();
  Inbox(const Inbox&) = delete;
  Inbox& operator=(const Inbox&) = delete;

  static Inbox& Of(Device& device);

  // Starts the Inbox thread; messages that arrived before are processed first. Idempotent.
  void Start();
  // Processes what has arrived, releases the rule clients, unloads their modules and ends the
  // thread. The device stops the Inbox when it shuts down.
  void Stop();
  bool running() const;

  // The SMS service's delivery: stores the message in the SMS store (in `message.folder`,
  // normally the Inbox) and queues it for the rule clients. Returns the message's key.
  Result<int64_t> Deliver(const store::SmsMessage& message);
  // Waits (real time) until every message delivered so far has been processed.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);
  std::optional<Arrival> Outcome(int64_t key) const;
  // Keys in order of arrival.
  std::vector<int64_t> Arrived() const;
  size_t rule_client_count() const;

  // Called on the Inbox thread after each message was processed (the message list refreshes).
  void SetProcessedListener(std::function<void(int64_t key)> listener);

 private:
  void Run();

  Device& device_;
  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::deque<int64_t> queue_;
  std::map<int64_t, Arrival> arrivals_;
  std::vector<int64_t> order_;
  std::function<void(int64_t)> listener_;
  size_t clients_ = 0;
  bool busy_ = false;  // the thread is processing a message taken from the queue
  bool stop_ = false;
  bool started_ = false;
  std::thread thread_;
};

}  // namespace pellix::device::inbox
