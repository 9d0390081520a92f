// The notification manager: keeps the notifications that programs add, displays one at a time
// in order of arrival, each for its duration on the device clock, and keeps those whose time
// is over listed in the title bar until they are removed.
//
// Threads: Add, Update, Remove and the queries may be called from any thread; they take the
// manager's lock briefly and never wait for the display. Displaying and hiding run on the
// manager's own thread, through the Presenter, without the lock held, so that a sink's window
// procedure may call back into the manager.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <aygshell.h>

namespace pellix::device {
class Device;
}

namespace pellix::device::shell {

struct NotificationKey {
  CLSID clsid{};
  DWORD id = 0;
  bool operator==(const NotificationKey& o) const { return id == o.id && IsEqualGUID(clsid, o.clsid); }
};

struct SoftKeyCommand {
  WPARAM command = 0;
  DWORD flags = 0;
};

// The manager's own copy of a request; nothing in it points into the caller's memory.
struct Notification {
  enum class State { kWaiting, kDisplayed, kListed };

  NotificationKey key;
  SHNP priority = SHNP_INFORM;
  DWORD duration_seconds = 0;  // 0xFFFFFFFF: for ever
  HICON icon = nullptr;
  DWORD flags = 0;
  HWND sink = nullptr;
  std::u16string html;
  std::u16string title;
  LPARAM lparam = 0;
  HMENU soft_key_menu = nullptr;
  std::vector<SoftKeyCommand> soft_keys;
  std::u16string soft_key_titles[NOTIF_NUM_SOFTKEYS];
  State state = State::kWaiting;
  uint64_t sequence = 0;  // order of arrival
  // When an icon leaves the title bar (its duration counts from when it was added or updated).
  std::chrono::steady_clock::time_point icon_until = std::chrono::steady_clock::time_point::max();

  bool iconic() const { return priority == SHNP_ICONIC; }
};

// What displaying means. The manager calls these on its own thread, one at a time.
class NotificationPresenter {
 public:
  virtual ~NotificationPresenter() = default;
  virtual void Show(const Notification& n) = 0;
  // The notification's time is over, or it was removed while displayed.
  virtual void Hide(const Notification& n) = 0;
  // Runs between events so that windows the presenter made answer the person.
  virtual void Pump() {}
};

class NotificationManager {
 public:
  explicit NotificationManager(Device& device);
  ~NotificationManager();
  // Ends the manager's thread; the device calls it at shutdown, before components go.
  void Stop();
  NotificationManager(const NotificationManager&) = delete;
  NotificationManager& operator=(const NotificationManager&) = delete;

  // Replaces the presenter (tests; the device installs the window-based one at first use).
  void SetPresenter(std::shared_ptr<NotificationPresenter> presenter);

  // Results are the SDK's: ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_ALREADY_EXISTS,
  // ERROR_NOT_FOUND.
  LRESULT Add(const SHNOTIFICATIONDATA& data);
  LRESULT Update(DWORD mask, const SHNOTIFICATIONDATA& data);
  LRESULT Remove(const NotificationKey& key);
  std::optional<Notification> Find(const NotificationKey& key) const;

  // The displayed notification's time ends now (the person closed or hid its bubble); it goes
  // to the title bar and the next one may come. Nothing happens for any other notification.
  void Conclude(const NotificationKey& key);
  // The person displays a listed notification again from the title bar.
  bool Redisplay(const NotificationKey& key);
  // What the title bar shows: listed notifications and icons, in order of arrival.
  std::vector<Notification> TitleBar() const;
  std::optional<NotificationKey> Displayed() const;

  // Runs `task` on the manager's thread, which also owns the shell's own windows (the platform
  // bubble, the browser) and lets them answer the person between events.
  void Post(std::function<void()> task);

 private:
  using Clock = std::chrono::steady_clock;

  Notification* FindLocked(const NotificationKey& key);
  void Run();
  void RunLoop(std::unique_lock<std::mutex>& lock);  // REQUIRES: lock holds mutex_
  void Copy(const SHNOTIFICATIONDATA& data, DWORD mask, Notification& n);

  Device& device_;
  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::shared_ptr<NotificationPresenter> presenter_;
  std::deque<Notification> notifications_;
  std::optional<NotificationKey> displayed_;
  Clock::time_point displayed_until_ = Clock::time_point::max();
  std::vector<Notification> to_hide_;  // removed while displayed; hidden by the thread
  std::deque<NotificationKey> redisplay_;
  std::deque<std::function<void()>> tasks_;
  uint64_t next_sequence_ = 1;
  bool stop_ = false;
  bool finished_ = false;  // the thread has left its loop
  std::thread thread_;
};

}  // namespace pellix::device::shell
