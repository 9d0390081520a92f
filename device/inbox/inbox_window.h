// The Inbox's window: the SMS Inbox's message list, and the message opened in the read form
// of the form module that the registry names for its class. The form sits in a frame window
// of the Inbox, with the Inbox as its host: closing, next and previous message, delete, reply
// and forward act on the store and the list. Keys the form does not keep reach the frame's
// menu bar, which asks the form for Delete, Reply, Forward and Close.
//
// Threads: the list window, the frames and the forms belong to the Inbox's user-interface
// thread, which this class starts; every form call is made there. Show, Open, Refresh and the
// queries may be called from any thread: they send or post to the list window.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "inbox/message_list.h"
#include "kernel/result.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::inbox {

class FormHost;

class InboxWindow {
 public:
  explicit InboxWindow(Device& device);
  ~InboxWindow();
  InboxWindow(const InboxWindow&) = delete;
  InboxWindow& operator=(const InboxWindow&) = delete;

  static InboxWindow& Of(Device& device);

  // Starts the user-interface thread with the list window in front; idempotent. Null when the
  // window could not be made.
  HWND Show();
  // Closes an open form and the list, and ends the thread.
  void Close();
  HWND list_window() const { return list_; }

  // Reads the list again (a message arrived or changed) and repaints it.
  void Refresh();
  // Opens a message of the list in its read form; the frame window, or why it did not open.
  Result<HWND> Open(int64_t key);
  // The frame of the open form, or null; the message it shows (0 when none).
  HWND form_frame() const;
  int64_t form_message() const;
  // The rows as last read, newest first.
  std::vector<ListRow> Rows() const;

  // ---- On the user-interface thread ----
  LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  friend class FormHost;

  void Run(std::promise<HWND>* ready);
  void Reload();
  void Paint(HWND hwnd);
  HRESULT OpenOnThread(int64_t key, std::string* why);
  void CloseForm();
  // The Inbox's shortcuts for the open form's menu bar (Delete, R reply, F forward, Escape
  // close), as form actions. True when `msg` was one of them.
  bool FormShortcut(const MSG& msg);
  HWND CreateListSoftKeys(HWND list);
  // Asks the open form for one of the IFA_ actions, if its action mask offers it.
  void RunFormAction(UINT action);
  // The key next to `key` in the list: older (+1) or newer (-1); 0 when there is none.
  int64_t Neighbour(int64_t key, int step) const;
  int RowHeight() const;

  Device& device_;
  std::thread thread_;
  std::atomic<HWND> list_{nullptr};
  mutable std::mutex mutex_;  // guards rows_, selected_ and the form fields read from other threads
  std::vector<ListRow> rows_;
  int selected_ = 0;
  int first_visible_ = 0;
  FormHost* host_ = nullptr;  // the open form, or null (user-interface thread)
  std::atomic<HWND> frame_{nullptr};
  std::atomic<int64_t> form_key_{0};
};

}  // namespace pellix::device::inbox
