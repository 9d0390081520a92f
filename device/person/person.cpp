#include "person/person.h"

#include <cstdio>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "kernel/thread_id.h"
#include "windows/menu.h"
#include "windows/nonclient.h"
#include "windows/window_system.h"

namespace pellix::device {
namespace {

using windows::WindowSystem;

std::string Hex(uintptr_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "0x%llx", static_cast<unsigned long long>(value));
  return buffer;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  return windows::FoldCase(a) == windows::FoldCase(b);
}

}  // namespace

std::string DescribeKey(BYTE vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= VK_F1 && vk <= VK_F12) return "VK_F" + std::to_string(vk - VK_F1 + 1);
  switch (vk) {
    case VK_RETURN: return "VK_RETURN";
    case VK_ESCAPE: return "VK_ESCAPE";
    case VK_BACK: return "VK_BACK";
    case VK_TAB: return "VK_TAB";
    case VK_SPACE: return "VK_SPACE";
    case VK_LEFT: return "VK_LEFT";
    case VK_RIGHT: return "VK_RIGHT";
    case VK_UP: return "VK_UP";
    case VK_DOWN: return "VK_DOWN";
    case VK_SHIFT: return "VK_SHIFT";
    case VK_CONTROL: return "VK_CONTROL";
    case VK_MENU: return "VK_MENU";
    case VK_LWIN: return "VK_LWIN";
    case VK_DELETE: return "VK_DELETE";
    case VK_HOME: return "VK_HOME";
    case VK_END: return "VK_END";
    default: return Hex(vk);
  }
}

std::string DescribeWindow(HWND hwnd) {
  if (!hwnd) return "no window";
  auto snapshot = WindowSystem::Get().Snapshot(hwnd);
  std::string text = Hex(reinterpret_cast<uintptr_t>(hwnd));
  if (snapshot) text += " \"" + Utf16ToUtf8(snapshot->class_name) + "\"";
  return text;
}

Person::Person(Device& device) : device_(device) {}

Person& Person::Get() { return Device::Get().Component<Person>(); }

void Person::Journal(const std::string& text) {
  device_.journal().Append(journal_kind::kInput, text);
}

// ---- Input ----------------------------------------------------------------------------------

namespace {

struct TapTarget {
  HWND hwnd = nullptr;
  POINT client{};
  bool disabled = false;
  int hit = HTCLIENT;  // HTCAPTION or HTCLOSE: the tap is on the window's caption bar
};

TapTarget FindTarget(POINT p) {
  WindowSystem& system = WindowSystem::Get();
  TapTarget target;
  target.hwnd = system.Capture();
  if (!target.hwnd) target.hwnd = system.HitTest(p);
  if (!target.hwnd) {
    // A tap on the bare desktop brings the desktop forward: the active window loses activation.
    if (system.Active()) system.SetActive(nullptr, WA_INACTIVE);
    return target;
  }
  HWND root = GetAncestor(target.hwnd, GA_ROOT);
  target.disabled = !IsWindowEnabled(target.hwnd) || !IsWindowEnabled(root);
  target.client = p;
  ScreenToClient(target.hwnd, &target.client);
  if (!system.Capture()) {
    const int hit = windows::HitTestWindow(target.hwnd, p);
    if (hit == HTCAPTION || hit == HTCLOSE) target.hit = hit;
  }
  if (!target.disabled && !(GetWindowLongW(root, GWL_EXSTYLE) & WS_EX_NOACTIVATE) &&
      system.Active() != root)
    system.SetActive(root, WA_CLICKACTIVE);
  return target;
}

}  // namespace

Result<HWND> Person::Tap(POINT p) {
  return LongPress(p, 0);
}

Result<HWND> Person::LongPress(POINT p, uint32_t hold_ms) {
  std::string what = (hold_ms ? "long press " : "tap ") + std::to_string(p.x) + "," +
                     std::to_string(p.y);
  TapTarget target = FindTarget(p);
  if (!target.hwnd) {
    Journal(what + " on the desktop");
    return Fail("nothing under the point");
  }
  if (target.disabled) {
    Journal(what + " on disabled " + DescribeWindow(target.hwnd));
    return target.hwnd;
  }
  WindowSystem& system = WindowSystem::Get();
  uint32_t time = device_.clock().TickCount();
  if (target.hit != HTCLIENT) {
    // The caption is the system's: the window hears of the tap as non-client input.
    const LPARAM screen = MAKELPARAM(p.x, p.y);
    (void)system.PostInput(target.hwnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(target.hit), screen, time, p);
    (void)system.PostInput(target.hwnd, WM_NCLBUTTONUP, static_cast<WPARAM>(target.hit), screen, time + hold_ms, p);
    Journal(what + " -> " + DescribeWindow(target.hwnd) + (target.hit == HTCLOSE ? " close box" : " caption"));
    return target.hwnd;
  }
  LPARAM at = MAKELPARAM(target.client.x, target.client.y);
  (void)system.PostInput(target.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at, time, p);
  // Another thread's window sees the press held for real; the caller's own window cannot run
  // while the caller waits, so its release is only stamped later.
  auto owner = system.ThreadOf(target.hwnd);
  if (hold_ms && owner && *owner != CurrentThreadId()) device_.clock().Sleep(hold_ms);
  (void)system.PostInput(target.hwnd, WM_LBUTTONUP, 0, at, time + hold_ms, p);
  Journal(what + " -> " + DescribeWindow(target.hwnd) + " at " + std::to_string(target.client.x) +
          "," + std::to_string(target.client.y));
  return target.hwnd;
}

void Person::PressKey(BYTE vk) { keybd_event(vk, 0, 0, 0); }
void Person::ReleaseKey(BYTE vk) { keybd_event(vk, 0, KEYEVENTF_KEYUP, 0); }
void Person::TypeKey(BYTE vk) {
  PressKey(vk);
  ReleaseKey(vk);
}

// ---- Attendance -----------------------------------------------------------------------------

void Person::set_attended(bool attended, uint64_t patience_ms) {
  std::lock_guard lock(mutex_);
  attended_ = attended;
  patience_ms_ = patience_ms;
  changed_.notify_all();
}

bool Person::attended() {
  std::lock_guard lock(mutex_);
  return attended_;
}

bool Person::ModalWait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready) {
  auto deadline = device_.clock().RealDeadline(patience_ms_);
  while (!ready()) {
    if (!attended_ || std::chrono::steady_clock::now() >= deadline) return false;
    lock.unlock();
    // The thread stays responsive while it waits, as in the platform's modal loops.
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        quit = true;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    lock.lock();
    if (quit) return ready();
    changed_.wait_for(lock, std::chrono::milliseconds(2));
  }
  return true;
}

// ---- Menus ----------------------------------------------------------------------------------

void Person::AnswerMenu(MenuAnswer answer) {
  std::lock_guard lock(mutex_);
  menu_answers_.push_back(std::move(answer));
  changed_.notify_all();
}

std::optional<windows::OpenMenuSnapshot> Person::OpenMenu() {
  std::lock_guard lock(mutex_);
  if (!open_menu_) return std::nullopt;
  return open_menu_->menu;
}

std::optional<OpenMenuState> Person::OpenMenuWithSerial() {
  std::lock_guard lock(mutex_);
  return open_menu_;
}

bool Person::AnswerOpenMenu(uint64_t serial, const MenuAnswer& answer) {
  std::lock_guard lock(mutex_);
  if (!open_menu_ || open_menu_->serial != serial || !menu_answers_.empty()) return false;
  if (answer.kind == MenuAnswer::Kind::kById) {
    bool found = false;
    for (const auto& item : open_menu_->menu.items)
      if (item.id == answer.id && !(item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED | MF_DISABLED)))
        found = true;
    if (!found) return false;
  }
  menu_answers_.push_back(answer);
  changed_.notify_all();
  return true;
}

bool Person::WaitForMenu(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return open_menu_.has_value(); });
}

std::optional<UINT> Person::Resolve(const windows::OpenMenuSnapshot& menu,
                                    const MenuAnswer& answer) {
  windows::MenuTable& table = windows::MenuTable::Get();
  std::function<std::optional<windows::MenuItem>(HMENU, int)> find_text =
      [&](HMENU handle, int depth) -> std::optional<windows::MenuItem> {
    if (depth > 16) return std::nullopt;
    for (const windows::MenuItem& item : table.Items(handle)) {
      if (item.submenu) {
        if (auto found = find_text(item.submenu, depth + 1)) return found;
      } else if (!(item.type & MFT_SEPARATOR) &&
                 SameText(windows::VisibleMenuText(item.text),
                          windows::VisibleMenuText(answer.text))) {
        return item;
      }
    }
    return std::nullopt;
  };
  std::optional<windows::MenuItem> item;
  if (answer.kind == MenuAnswer::Kind::kById)
    item = table.Item(menu.menu, answer.id, false);
  else if (answer.kind == MenuAnswer::Kind::kByText)
    item = find_text(menu.menu, 0);
  if (!item || item->submenu || (item->state & (MF_GRAYED | MF_DISABLED))) return std::nullopt;
  return item->id;
}

std::optional<UINT> Person::ChooseFromMenu(const windows::OpenMenuSnapshot& menu) {
  std::string items;
  for (const auto& item : menu.items) {
    if (item.flags & MF_SEPARATOR) continue;
    if (!items.empty()) items += ", ";
    items += "\"" + Utf16ToUtf8(windows::VisibleMenuText(item.text)) + "\" " +
             std::to_string(item.id);
  }
  Journal("menu open at " + std::to_string(menu.position.x) + "," +
          std::to_string(menu.position.y) + ": " + items);

  std::unique_lock lock(mutex_);
  open_menu_ = OpenMenuState{++menus_opened_, menu};
  changed_.notify_all();
  std::optional<MenuAnswer> answer;
  auto take = [&] {
    if (menu_answers_.empty()) return false;
    answer = std::move(menu_answers_.front());
    menu_answers_.pop_front();
    return true;
  };
  if (!take() && attended_) ModalWait(lock, take);
  open_menu_.reset();
  changed_.notify_all();
  lock.unlock();

  std::optional<UINT> chosen = answer ? Resolve(menu, *answer) : std::nullopt;
  if (chosen) {
    auto item = windows::MenuTable::Get().Item(menu.menu, *chosen, false);
    Journal("menu choose \"" + Utf16ToUtf8(windows::VisibleMenuText(item ? item->text : u"")) +
            "\" " + std::to_string(*chosen));
  } else if (answer && answer->kind != MenuAnswer::Kind::kCancel) {
    Journal("menu cancel (the answer matches no enabled item)");
  } else {
    Journal("menu cancel");
  }
  return chosen;
}

// ---- Message boxes --------------------------------------------------------------------------

void Person::AnswerMessageBox(int answer) {
  std::lock_guard lock(mutex_);
  box_answers_.push_back(answer);
  changed_.notify_all();
}

std::optional<OpenMessageBox> Person::OpenBox() {
  std::lock_guard lock(mutex_);
  return open_box_;
}

bool Person::AnswerOpenBox(uint64_t serial, int answer) {
  std::lock_guard lock(mutex_);
  if (!open_box_ || open_box_->serial != serial || !box_answers_.empty()) return false;
  box_answers_.push_back(answer);
  changed_.notify_all();
  return true;
}

bool Person::WaitForMessageBox(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return open_box_.has_value(); });
}

int Person::AnswerBox(const OpenMessageBox& box, int default_answer) {
  std::unique_lock lock(mutex_);
  open_box_ = box;
  open_box_->serial = ++boxes_opened_;
  changed_.notify_all();
  std::optional<int> answer;
  auto take = [&] {
    if (box_answers_.empty()) return false;
    answer = box_answers_.front();
    box_answers_.pop_front();
    return true;
  };
  if (!take() && attended_) ModalWait(lock, take);
  open_box_.reset();
  changed_.notify_all();
  return answer.value_or(default_answer);
}

// ---- Contact cards ------------------------------------------------------------------------

void Person::AnswerContactCard(bool confirm) {
  std::lock_guard lock(mutex_);
  card_answers_.push_back(confirm);
  changed_.notify_all();
}

std::optional<std::u16string> Person::OpenContactCard() {
  std::lock_guard lock(mutex_);
  return open_card_;
}

std::optional<std::pair<uint64_t, std::u16string>> Person::OpenContactCardWithSerial() {
  std::lock_guard lock(mutex_);
  if (!open_card_) return std::nullopt;
  return std::pair{cards_opened_, *open_card_};
}

bool Person::AnswerOpenContactCard(uint64_t serial, bool confirm) {
  std::lock_guard lock(mutex_);
  if (!open_card_ || cards_opened_ != serial || !card_answers_.empty()) return false;
  card_answers_.push_back(confirm);
  changed_.notify_all();
  return true;
}

bool Person::WaitForContactCard(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return open_card_.has_value(); });
}

bool Person::AnswerCard(const std::u16string& name) {
  std::unique_lock lock(mutex_);
  open_card_ = name;
  ++cards_opened_;
  changed_.notify_all();
  std::optional<bool> answer;
  auto take = [&] {
    if (card_answers_.empty()) return false;
    answer = card_answers_.front();
    card_answers_.pop_front();
    return true;
  };
  if (!take() && attended_) ModalWait(lock, take);
  open_card_.reset();
  changed_.notify_all();
  return answer.value_or(true);
}

}  // namespace pellix::device
