// The person who uses the device: taps the screen, presses keys, chooses from menus and
// answers message boxes. Tests and scripts drive it; everything it does is journalled
// (journal_kind::kInput, and kMessageBox for the boxes it answers).
//
// Menus and message boxes are answered from a list of answers given in advance, or by an
// answer given while they are open. Unattended (the default), a menu with no answer waiting
// is cancelled at once and a message box gets its default button at once, so that nothing
// blocks an unattended run. Attended, they wait for an answer up to the person's patience
// (device milliseconds), dispatching their thread's messages meanwhile.
//
// Thread-safe: any thread may drive the person; input reaches the windows' own threads
// through their queues.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include <windows.h>

#include "kernel/result.h"
#include "windows/window_tree.h"

namespace pellix::device {
class Device;
}

namespace pellix::device {

struct MenuAnswer {
  enum class Kind { kCancel, kById, kByText };
  Kind kind = Kind::kCancel;
  UINT id = 0;
  std::u16string text;  // compared without "&" marks and without regard to case

  static MenuAnswer Cancel() { return {}; }
  static MenuAnswer ById(UINT id) { return {Kind::kById, id, {}}; }
  static MenuAnswer ByText(std::u16string text) { return {Kind::kByText, 0, std::move(text)}; }
};

struct OpenMessageBox {
  HWND window = nullptr;
  std::u16string caption;
  std::u16string text;
  UINT type = 0;
  uint64_t serial = 0;  // which box this is, counted by the person from 1
};

// A menu that is open, with the person's count of the menus opened so far (from 1), so that
// an answer given for one menu never lands on a later one.
struct OpenMenuState {
  uint64_t serial = 0;
  windows::OpenMenuSnapshot menu;
};

class Person {
 public:
  explicit Person(Device& device);
  static Person& Get();

  // ---- Input ----
  // A tap: WM_LBUTTONDOWN and WM_LBUTTONUP, in client coordinates, to the visible window under
  // the point (activating its top-level window). Fails over the bare desktop.
  Result<HWND> Tap(POINT screen_point);
  // A press held for `hold_ms` device milliseconds before it is released.
  Result<HWND> LongPress(POINT screen_point, uint32_t hold_ms = 1000);
  // Keys go to the focus window (or the active window when nothing has the focus).
  void PressKey(BYTE vk);
  void ReleaseKey(BYTE vk);
  void TypeKey(BYTE vk);  // press and release

  // ---- Menus ----
  // Answers the menu that is open, or the next one to open when none is.
  void AnswerMenu(MenuAnswer answer);
  std::optional<windows::OpenMenuSnapshot> OpenMenu();
  std::optional<OpenMenuState> OpenMenuWithSerial();
  // Answers the open menu only when it is the one numbered `serial` and no answer already
  // waits for it; an answer by id must name an enabled command item of the menu. False, and
  // nothing queued, otherwise.
  bool AnswerOpenMenu(uint64_t serial, const MenuAnswer& answer);
  // Waits (real time) until a menu is open.
  bool WaitForMenu(std::chrono::milliseconds timeout);

  // ---- Message boxes ----
  // Answers the box that is open, or the next one to open when none is.
  void AnswerMessageBox(int answer);
  std::optional<OpenMessageBox> OpenBox();
  // Answers the open box only when it is the one numbered `serial` and no answer already
  // waits for it. False, and nothing queued, otherwise.
  bool AnswerOpenBox(uint64_t serial, int answer);
  bool WaitForMessageBox(std::chrono::milliseconds timeout);

  // ---- Contact cards ----
  // Answers the contact card that is shown, or the next one to be shown: true saves the
  // contact, false discards it. Unattended, a card with no answer waiting is confirmed.
  void AnswerContactCard(bool confirm);
  // The name on the card that is shown, when one is.
  std::optional<std::u16string> OpenContactCard();
  // The card shown and its number among the cards shown (from 1).
  std::optional<std::pair<uint64_t, std::u16string>> OpenContactCardWithSerial();
  // Answers the shown card only when it is the one numbered `serial` and no answer waits.
  bool AnswerOpenContactCard(uint64_t serial, bool confirm);
  bool WaitForContactCard(std::chrono::milliseconds timeout);

  // Turning attendance off releases the menus and boxes waiting now: cancelled, and given
  // their default buttons, as unattended ones are.
  void set_attended(bool attended, uint64_t patience_ms = 60000);
  bool attended();

  // ---- Called by the window system ----
  // A modal popup menu: returns the chosen command, or nullopt when cancelled.
  std::optional<UINT> ChooseFromMenu(const windows::OpenMenuSnapshot& menu);
  // A modal message box: returns the button chosen.
  int AnswerBox(const OpenMessageBox& box, int default_answer);
  // A contact card showing `name`: true when the person confirms it.
  bool AnswerCard(const std::u16string& name);

 private:
  std::optional<UINT> Resolve(const windows::OpenMenuSnapshot& menu, const MenuAnswer& answer);
  // Waits for `ready` while dispatching the calling thread's messages; false at the deadline.
  bool ModalWait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready);
  void Journal(const std::string& text);

  Device& device_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool attended_ = false;
  uint64_t patience_ms_ = 60000;
  std::deque<MenuAnswer> menu_answers_;
  std::optional<OpenMenuState> open_menu_;
  uint64_t menus_opened_ = 0;
  uint64_t boxes_opened_ = 0;
  std::deque<int> box_answers_;
  std::optional<OpenMessageBox> open_box_;
  std::deque<bool> card_answers_;
  std::optional<std::u16string> open_card_;
  uint64_t cards_opened_ = 0;
};

// Helpers for journal lines.
std::string DescribeKey(BYTE vk);
std::string DescribeWindow(HWND hwnd);

}  // namespace pellix::device
