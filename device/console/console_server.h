// The device console's server: serves the page, streams the screen and the journal to every
// open page over a WebSocket, turns the page's clicks and keys into the person's taps and key
// presses, and hands /api requests to the host (the pellix-device tool, which links the module).
//
// Threads: one network thread runs every connection and, every few milliseconds while a page is
// open, polls the screen's damage and the journal. Device work (input, /api requests) runs on
// one device thread, in order, so the network thread never waits for the device. A request
// the host marks as exclusive (a restart) runs with frame polling held off.
//
// Menus, message boxes and contact cards the device opens are pushed to every page ({"menu":...},
// {"box":...}, {"card":...}) and their closing too ({"menuClosed":N}, {"boxClosed":N}, {"cardClosed":N}); a page answers over its WebSocket
// and is told {"answer":{"ok":true}} or {"answer":{"refused":WHY}}. Answers are applied on the
// network thread: the thread that waits in the menu may be the one device work would queue behind.
//
// Safety: only the loopback address is served; a request whose Host or Origin is not this
// server's own is refused; bodies are limited (413); a malformed request is answered 400 and
// its connection closed; nothing a page sends stops the device or the server.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "console/request.h"
#include "kernel/result.h"

namespace pellix::device::console {

struct ConsoleOptions {
  uint16_t port = 0;  // 0: any free port
  // Folder of the page's files (index.html, *.js, *.css).
  std::filesystem::path page_dir;
  // Largest request body accepted: a contact picture of 1 MB with room to spare.
  size_t max_body = 1024 * 1024 + 64 * 1024;
  // Handles /api requests; runs on the device thread.
  std::function<ApiReply(const ApiRequest&)> api;
  // Paths of requests that replace the device (restarts): they run with no frame polled.
  std::set<std::string> exclusive_paths;
};

class ConsoleServer {
 public:
  // Listens on 127.0.0.1 and starts the server's threads.
  static Result<std::unique_ptr<ConsoleServer>> Start(ConsoleOptions options);
  ~ConsoleServer();
  ConsoleServer(const ConsoleServer&) = delete;
  ConsoleServer& operator=(const ConsoleServer&) = delete;

  uint16_t port() const;
  // "http://127.0.0.1:PORT/"
  std::string address() const;
  // Closes every connection, releases what the device has open for the pages to answer (its
  // person stops attending) and joins the threads; called by the destructor too.
  void Stop();

  struct Impl;

 private:
  explicit ConsoleServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Applies one input line from the page to the device's person: "tap X Y", "press X Y MS",
// "key NAME" (F1, F2, Up, Down, Left, Right, Enter, Talk, End). False for anything else.
bool ApplyInput(const std::string& line);

// Applies a page's answer to the menu or message box open on the device: "menu SERIAL ID",
// "menu SERIAL cancel", "box SERIAL BUTTON" (a button id such as IDOK, 1), "card SERIAL save|cancel". The serial is the one
// the page was told when the menu or box opened. Empty when taken; else why it was refused (no
// such menu open any more, an id the menu lacks or has greyed, a button the box lacks).
std::string ApplyAnswer(const std::string& line);

// Whether `line` is an answer (for ApplyAnswer) rather than input.
bool IsAnswer(const std::string& line);

}  // namespace pellix::device::console
