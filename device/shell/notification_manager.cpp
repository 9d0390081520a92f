#include "shell/notification_manager.h"

#include <algorithm>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "shell/platform_bubble.h"
#include "windows/window_system.h"

namespace pellix::device::shell {

namespace {

constexpr DWORD kForever = 0xFFFFFFFF;
// Longest soft-key command array copied from a request.
constexpr UINT kMaxSoftKeys = 64;
// How often the manager's thread lets the presenter's windows answer the person.
constexpr auto kPumpInterval = std::chrono::milliseconds(15);

std::u16string CopyString(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

std::string Describe(const char* what, const Notification& n) {
  return std::string(what) + " " + std::to_string(n.key.id) + " \"" + Utf16ToUtf8(n.title) + "\"";
}

}  // namespace

NotificationManager::NotificationManager(Device& device) : device_(device) {
  presenter_ = MakeWindowPresenter(*this);
  thread_ = std::thread([this] { Run(); });
  // The thread paints through components created after this one (menus, for one): it ends
  // before any component is destroyed.
  device.AtShutdown([this] { Stop(); });
}

NotificationManager::~NotificationManager() { Stop(); }

void NotificationManager::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  // The manager's thread may be waiting for this thread to answer a message it sent to one of
  // this thread's windows (a sink asked to show); answer such messages until it has ended.
  std::unique_lock lock(mutex_);
  while (!finished_) {
    lock.unlock();
    if (windows::WindowSystem* system = windows::WindowSystem::Existing()) {
      MSG msg;
      system->Retrieve(&msg, windows::MessageFilter{}, false, false);
    }
    lock.lock();
    wake_.wait_for(lock, std::chrono::milliseconds(2), [this] { return finished_; });
  }
  lock.unlock();
  thread_.join();
}

void NotificationManager::SetPresenter(std::shared_ptr<NotificationPresenter> presenter) {
  std::lock_guard lock(mutex_);
  presenter_ = std::move(presenter);
}

void NotificationManager::Copy(const SHNOTIFICATIONDATA& data, DWORD mask, Notification& n) {
  if (mask & SHNUM_PRIORITY) n.priority = data.npPriority;
  if (mask & SHNUM_DURATION) n.duration_seconds = data.csDuration;
  if (mask & SHNUM_ICON) n.icon = data.hicon;
  if (mask & SHNUM_HTML) n.html = CopyString(data.pszHTML);
  if (mask & SHNUM_TITLE) n.title = CopyString(data.pszTitle);
  if (mask & SHNUM_FLAGS) n.flags = data.grfFlags;
  if (mask & (SHNUM_SOFTKEYS | SHNUM_SOFTKEYCMDS)) {
    n.soft_keys.clear();
    n.soft_key_menu = nullptr;
    for (auto& t : n.soft_key_titles) t.clear();
    if (n.flags & SHNF_HASMENU) {
      n.soft_key_menu = data.skm.hMenu;
      if (data.skm.prgskc) {
        const UINT count = std::min(data.skm.cskc, kMaxSoftKeys);
        for (UINT i = 0; i < count; ++i)
          n.soft_keys.push_back({data.skm.prgskc[i].wpCmd, data.skm.prgskc[i].grfFlags});
      }
    } else {
      for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        n.soft_key_titles[i] = CopyString(data.rgskn[i].pszTitle);
        n.soft_keys.push_back({data.rgskn[i].skc.wpCmd, data.rgskn[i].skc.grfFlags});
      }
    }
  }
}

Notification* NotificationManager::FindLocked(const NotificationKey& key) {
  for (Notification& n : notifications_) {
    if (n.key == key) return &n;
  }
  return nullptr;
}

LRESULT NotificationManager::Add(const SHNOTIFICATIONDATA& data) {
  if (data.cbStruct != SHNOTIFICATIONDATA_CBSTRUCT && data.cbStruct != sizeof(SHNOTIFICATIONDATA))
    return ERROR_INVALID_PARAMETER;
  Notification n;
  n.key = {data.clsid, data.dwID};
  n.sink = data.hwndSink;
  n.lparam = data.lParam;
  n.flags = data.grfFlags;
  Copy(data, SHNUM_PRIORITY | SHNUM_DURATION | SHNUM_ICON | SHNUM_HTML | SHNUM_TITLE | SHNUM_SOFTKEYS, n);
  {
    std::lock_guard lock(mutex_);
    if (FindLocked(n.key)) return ERROR_ALREADY_EXISTS;
    n.sequence = next_sequence_++;
    if (n.iconic()) {
      n.state = Notification::State::kListed;
      if (n.duration_seconds != kForever) n.icon_until = device_.clock().RealDeadline(uint64_t{n.duration_seconds} * 1000);
    }
    device_.journal().Append(journal_kind::kNotification, Describe("add", n));
    notifications_.push_back(std::move(n));
  }
  wake_.notify_all();
  return ERROR_SUCCESS;
}

LRESULT NotificationManager::Update(DWORD mask, const SHNOTIFICATIONDATA& data) {
  {
    std::lock_guard lock(mutex_);
    Notification* n = FindLocked({data.clsid, data.dwID});
    if (!n) return ERROR_NOT_FOUND;
    Copy(data, mask, *n);
    if (mask & SHNUM_DURATION) {
      const bool forever = n->duration_seconds == kForever;
      const auto until = forever ? Clock::time_point::max()
                                 : device_.clock().RealDeadline(uint64_t{n->duration_seconds} * 1000);
      if (n->iconic()) n->icon_until = until;
      if (displayed_ && *displayed_ == n->key) displayed_until_ = until;
    }
  }
  wake_.notify_all();
  return ERROR_SUCCESS;
}

LRESULT NotificationManager::Remove(const NotificationKey& key) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(notifications_.begin(), notifications_.end(),
                           [&](const Notification& n) { return n.key == key; });
    if (it == notifications_.end()) return ERROR_NOT_FOUND;
    device_.journal().Append(journal_kind::kNotification, Describe("remove", *it));
    if (displayed_ && *displayed_ == key) {
      to_hide_.push_back(*it);
      displayed_.reset();
    }
    notifications_.erase(it);
  }
  wake_.notify_all();
  return ERROR_SUCCESS;
}

std::optional<Notification> NotificationManager::Find(const NotificationKey& key) const {
  std::lock_guard lock(mutex_);
  for (const Notification& n : notifications_) {
    if (n.key == key) return n;
  }
  return std::nullopt;
}

void NotificationManager::Conclude(const NotificationKey& key) {
  {
    std::lock_guard lock(mutex_);
    if (!displayed_ || !(*displayed_ == key)) return;
    displayed_until_ = Clock::now();
  }
  wake_.notify_all();
}

bool NotificationManager::Redisplay(const NotificationKey& key) {
  {
    std::lock_guard lock(mutex_);
    Notification* n = FindLocked(key);
    if (!n || n->iconic() || n->state != Notification::State::kListed) return false;
    n->state = Notification::State::kWaiting;
    redisplay_.push_back(key);
  }
  wake_.notify_all();
  return true;
}

std::vector<Notification> NotificationManager::TitleBar() const {
  std::lock_guard lock(mutex_);
  std::vector<Notification> listed;
  for (const Notification& n : notifications_) {
    if (n.state == Notification::State::kListed) listed.push_back(n);
  }
  return listed;
}

std::optional<NotificationKey> NotificationManager::Displayed() const {
  std::lock_guard lock(mutex_);
  return displayed_;
}

void NotificationManager::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

void NotificationManager::Run() {
  std::unique_lock lock(mutex_);
  RunLoop(lock);
  finished_ = true;
  lock.unlock();
  wake_.notify_all();
}

void NotificationManager::RunLoop(std::unique_lock<std::mutex>& lock) {
  while (!stop_) {
    if (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      continue;
    }
    if (!to_hide_.empty()) {
      std::vector<Notification> hide = std::move(to_hide_);
      to_hide_.clear();
      std::shared_ptr<NotificationPresenter> presenter = presenter_;
      lock.unlock();
      if (presenter) {
        for (const Notification& n : hide) presenter->Hide(n);
      }
      lock.lock();
      continue;
    }
    const auto now = Clock::now();
    // Icons whose time is over leave the title bar.
    std::erase_if(notifications_, [&](const Notification& n) { return n.iconic() && n.icon_until <= now; });

    if (displayed_ && now >= displayed_until_) {
      // Its time is over: it stays listed in the title bar, and the next one may come.
      Notification* n = FindLocked(*displayed_);
      displayed_.reset();
      if (n) {
        n->state = Notification::State::kListed;
        Notification copy = *n;
        device_.journal().Append(journal_kind::kNotification, Describe("listed", copy));
        std::shared_ptr<NotificationPresenter> presenter = presenter_;
        lock.unlock();
        if (presenter) presenter->Hide(copy);
        lock.lock();
      }
      continue;
    }

    if (!displayed_) {
      Notification* next = nullptr;
      while (!next && !redisplay_.empty()) {
        next = FindLocked(redisplay_.front());
        redisplay_.pop_front();
        if (next && next->state != Notification::State::kWaiting) next = nullptr;
      }
      if (!next) {
        for (Notification& n : notifications_) {
          if (!n.iconic() && n.state == Notification::State::kWaiting) {
            next = &n;
            break;
          }
        }
      }
      if (next) {
        next->state = Notification::State::kDisplayed;
        displayed_ = next->key;
        displayed_until_ = next->duration_seconds == kForever
                               ? Clock::time_point::max()
                               : device_.clock().RealDeadline(uint64_t{next->duration_seconds} * 1000);
        Notification copy = *next;
        device_.journal().Append(journal_kind::kNotification, Describe("show", copy));
        std::shared_ptr<NotificationPresenter> presenter = presenter_;
        lock.unlock();
        if (presenter) presenter->Show(copy);
        lock.lock();
        continue;
      }
    }

    auto deadline = now + kPumpInterval;
    if (displayed_) deadline = std::min(deadline, displayed_until_);
    for (const Notification& n : notifications_) deadline = std::min(deadline, n.icon_until);
    std::shared_ptr<NotificationPresenter> presenter = presenter_;
    lock.unlock();
    if (presenter) presenter->Pump();
    lock.lock();
    if (stop_ || !to_hide_.empty() || !tasks_.empty()) continue;
    wake_.wait_until(lock, deadline);
  }
}

}  // namespace pellix::device::shell
