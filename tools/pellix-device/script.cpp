#include "script.h"

#include <windows.h>
#include <commctrl.h>
#include <mapitags.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "clipboard_expectation.h"
#include "command.h"
#include "deliver_command.h"
#include "gdi/screenshot.h"
#include "gdi/window_view.h"
#include "htmlview/display_queries.h"
#include "inbox/inbox_window.h"
#include "kernel/device.h"
#include "message_print.h"
#include "person/person.h"
#include "shell/menu_bar.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "windows/nonclient.h"
#include "windows/window_system.h"

namespace pellix::tool {

using device::Utf16ToUtf8;
using device::Utf8ToUtf16;
namespace fs = std::filesystem;

bool SplitWords(const std::string& line, std::vector<std::string>* words, std::string* error) {
  words->clear();
  size_t i = 0;
  const size_t n = line.size();
  for (;;) {
    while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= n) break;
    if (words->empty() && line[i] == '#') break;  // a comment line
    std::string word;
    bool closed = true;
    while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      const char c = line[i++];
      if (c == '"' || c == '\'') {
        closed = false;
        while (i < n) {
          char d = line[i++];
          if (d == c) {
            closed = true;
            break;
          }
          if (c == '"' && d == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) d = line[i++];
          word += d;
        }
        if (!closed) {
          *error = std::string("unfinished ") + (c == '"' ? "double" : "single") + " quote";
          return false;
        }
      } else {
        word += c;
      }
    }
    words->push_back(std::move(word));
  }
  return true;
}

namespace {

// How long (real time) an expectation waits for the device to get there: the person's input
// and the bubble's work run on their own threads.
constexpr auto kExpectPatience = std::chrono::seconds(5);
constexpr auto kProcessingLimit = std::chrono::seconds(60);

struct Context {
  fs::path image_dir;
  device::Device& device;
  device::inbox::Inbox& inbox;
};

using Words = std::vector<std::string>;
// A step returns the reason it failed, or an empty string.
using Step = std::string (*)(Context&, const Words&);

// Lets the windows' threads take the input and paint: returns once no visible window has
// anything left to paint, twice in a row, or after two seconds.
void Settle() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  int quiet = 0;
  while (quiet < 2 && std::chrono::steady_clock::now() < end) {
    bool pending = false;
    auto& view = device::gdi::Windows();
    for (const auto& w : view.VisibleWindows()) pending = pending || view.HasUpdateRegion(w.hwnd);
    quiet = pending ? 0 : quiet + 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
}

template <typename Check>
bool Eventually(Check check) {
  const auto end = std::chrono::steady_clock::now() + kExpectPatience;
  for (;;) {
    if (check()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string StepDeliver(Context& c, const Words& w) {
  device::store::SmsMessage message;
  if (std::string why = ParseSms(w, 1, &message); !why.empty()) return why;
  auto key = c.inbox.Deliver(message);
  if (!key) return key.error().message;
  if (!c.inbox.WaitUntilIdle(kProcessingLimit)) return "the Inbox did not finish the message";
  std::printf("delivered %s\n", Hex(device::store::MakeEntryId(device::store::EntryKind::kMessage, *key)).c_str());
  if (auto arrival = c.inbox.Outcome(*key))
    for (const std::string& line : DescribeOutcomes(*arrival)) std::printf("  %s\n", line.c_str());
  return {};
}

// "500ms", "2s", "1.5s", "1m": device time.
std::string StepWait(Context& c, const Words& w) {
  static const std::regex form(R"(^(\d+(?:\.\d+)?)(ms|s|m)$)");
  std::smatch m;
  if (w.size() != 2 || !std::regex_match(w[1], m, form))
    return "wait takes one duration such as 500ms, 2s or 1m";
  const double value = std::stod(m[1].str());
  const double scale = m[2] == "ms" ? 1 : m[2] == "s" ? 1000 : 60000;
  const double ms = value * scale;
  if (ms > 24.0 * 3600 * 1000) return "wait at most a day";
  c.device.clock().Sleep(static_cast<uint64_t>(ms));
  Settle();
  return {};
}

std::string StepTap(Context&, const Words& w) {
  if (w.size() != 3) return "tap takes X and Y in screen pixels";
  char* end = nullptr;
  long x = std::strtol(w[1].c_str(), &end, 10);
  bool ok = *end == 0;
  long y = std::strtol(w[2].c_str(), &end, 10);
  ok = ok && *end == 0 && !w[1].empty() && !w[2].empty();
  if (!ok || x < 0 || y < 0 || x > 10000 || y > 10000) return "tap takes X and Y in screen pixels";
  auto hit = device::Person::Get().Tap({static_cast<LONG>(x), static_cast<LONG>(y)});
  if (!hit) return hit.error().message;
  Settle();
  return {};
}

// press X Y [DURATION]: a long press (a tap held down), by default for one second of device
// time, which opens context menus.
std::string StepPress(Context&, const Words& w) {
  static const std::regex duration(R"(^(\d+(?:\.\d+)?)(ms|s)$)");
  const char* usage = "press takes X and Y in screen pixels, and how long to hold (such as 1s or 800ms)";
  if (w.size() != 3 && w.size() != 4) return usage;
  char* end = nullptr;
  const long x = std::strtol(w[1].c_str(), &end, 10);
  bool ok = *end == 0 && !w[1].empty();
  const long y = std::strtol(w[2].c_str(), &end, 10);
  ok = ok && *end == 0 && !w[2].empty() && x >= 0 && y >= 0 && x <= 10000 && y <= 10000;
  double ms = 1000;
  std::smatch m;
  if (w.size() == 4) {
    ok = ok && std::regex_match(w[3], m, duration);
    if (ok) ms = std::stod(m[1].str()) * (m[2] == "s" ? 1000 : 1);
    ok = ok && ms >= 1 && ms <= 10000;
  }
  if (!ok) return usage;
  auto hit = device::Person::Get().LongPress({static_cast<LONG>(x), static_cast<LONG>(y)}, static_cast<uint32_t>(ms));
  if (!hit) return hit.error().message;
  Settle();
  return {};
}

std::string StepSoftKey(Context&, const Words& w) {
  if (w.size() != 2 || (w[1] != "left" && w[1] != "right")) return "softkey takes left or right";
  device::Person::Get().TypeKey(w[1] == "left" ? VK_F1 : VK_F2);
  Settle();
  return {};
}

std::string StepMenu(Context&, const Words& w) {
  if (w.size() != 2) return "menu takes the text of one item (quote it)";
  device::Person::Get().AnswerMenu(device::MenuAnswer::ByText(Utf8ToUtf16(w[1])));
  Settle();
  return {};
}

std::string StepKey(Context&, const Words& w) {
  static const std::map<std::string, BYTE> names = {
      {"left", VK_LEFT},     {"right", VK_RIGHT},   {"up", VK_UP},        {"down", VK_DOWN},
      {"enter", VK_RETURN},  {"return", VK_RETURN}, {"escape", VK_ESCAPE}, {"back", VK_BACK},
      {"backspace", VK_BACK}, {"tab", VK_TAB},      {"space", VK_SPACE},  {"delete", VK_DELETE},
      {"home", VK_HOME},     {"end", VK_END},       {"talk", VK_F3},      {"hangup", VK_F4},
      {"f1", VK_F1},         {"f2", VK_F2},         {"f3", VK_F3},        {"f4", VK_F4}};
  if (w.size() != 2) return "key takes one key name";
  std::string name = w[1];
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  BYTE vk = 0;
  if (auto it = names.find(name); it != names.end()) vk = it->second;
  else if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
    vk = static_cast<BYTE>(std::toupper(static_cast<unsigned char>(name[0])));
  else return "unknown key " + w[1] + " (left, right, up, down, enter, escape, back, tab, space, talk, hangup, f1-f4, a letter or a digit)";
  device::Person::Get().TypeKey(vk);
  Settle();
  return {};
}

// The last message that arrived in the SMS store's Inbox, or 0.
int64_t LatestInInbox(device::store::MessageStore& store);

std::string StepOpen(Context& c, const Words& w) {
  if (w.size() != 2) return "open takes latest or an entry identifier";
  auto& store = device::store::MessageStore::Of(c.device);
  int64_t key = 0;
  if (w[1] == "latest") {
    key = LatestInInbox(store);
    if (!key) return "the Inbox is empty";
  } else {
    auto bytes = FromHex(w[1]);
    auto ref = bytes ? device::store::ParseEntryId(bytes->data(), bytes->size()) : std::nullopt;
    if (!ref || ref->kind != device::store::EntryKind::kMessage) return "not a message's entry identifier: " + w[1];
    key = ref->key;
  }
  auto& window = device::inbox::InboxWindow::Of(c.device);
  if (!window.Show()) return "the Inbox's window cannot be shown";
  auto frame = window.Open(key);
  if (!frame) return frame.error().message;
  Settle();
  return {};
}

bool InsideImage(const fs::path& out, const fs::path& image_dir) {
  std::error_code ec;
  const fs::path image = fs::weakly_canonical(fs::absolute(image_dir, ec), ec);
  const fs::path target = fs::weakly_canonical(fs::absolute(out, ec), ec);
  auto i = image.begin(), t = target.begin();
  for (; i != image.end() && !i->empty(); ++i, ++t)
    if (t == target.end() || *i != *t) return false;
  return true;
}

std::string StepScreenshot(Context& c, const Words& w) {
  if (w.size() != 2) return "screenshot takes one file name";
  if (InsideImage(w[1], c.image_dir)) return w[1] + " is inside the device image";
  Settle();
  if (auto saved = device::gdi::SaveScreenshot(w[1], nullptr); !saved) return saved.error().message;
  std::printf("screenshot %s\n", w[1].c_str());
  return {};
}

std::string StepSet(Context& c, const Words& w) {
  if (w.size() != 5) return "set takes KEY NAME dword|sz|binary VALUE";
  Invocation inv;
  inv.command = "reg";
  inv.image_dir = c.image_dir;
  inv.args = {"set", w[1], w[2], w[3], w[4]};
  for (const CommandInfo& command : Commands())
    if (std::string(command.name) == "reg")
      return command.run(inv) == 0 ? std::string() : "the value was not set";
  return "no reg command";
}

std::string JournalLine(const device::JournalEntry& e) { return e.kind + " " + e.text; }

std::string ExpectJournal(Context& c, const Words& w) {
  if (w.size() != 3) return "expect journal takes one pattern (quote it)";
  std::regex pattern;
  try {
    pattern = std::regex(w[2]);
  } catch (const std::regex_error&) {
    return "not a pattern: " + w[2];
  }
  bool found = Eventually([&] {
    for (const auto& e : c.device.journal().Entries())
      if (std::regex_search(JournalLine(e), pattern)) return true;
    return false;
  });
  if (found) return {};
  std::string why = "no journal entry matches " + w[2] + "; the last entries are:";
  auto entries = c.device.journal().Entries();
  for (size_t i = entries.size() > 5 ? entries.size() - 5 : 0; i < entries.size(); ++i)
    why += "\n  " + JournalLine(entries[i]);
  if (entries.empty()) why += " (none)";
  return why;
}

// The last message that arrived in the SMS store's Inbox, or 0.
int64_t LatestInInbox(device::store::MessageStore& store) {
  auto sms = device::store::SmsStore(store);
  if (!sms) return 0;
  auto inbox = store.FolderByRole(sms->key, device::store::FolderRole::kInbox);
  if (!inbox) return 0;
  int64_t count = store.CountMessages(inbox->key);
  return count > 0 ? store.KeyAtOffset(inbox->key, count - 1) : 0;
}

// expect store count N [FOLDER] | expect store latest|ENTRYID class|text|sender|read|unread [VALUE]
std::string ExpectStore(Context& c, const Words& w) {
  auto& store = device::store::MessageStore::Of(c.device);
  if (!store.status()) return store.status().error().message;
  if (w.size() >= 4 && w[2] == "count" && w.size() <= 5) {
    auto sms = device::store::SmsStore(store);
    if (!sms) return "the image has no SMS store";
    const std::u16string name = w.size() == 5 ? Utf8ToUtf16(w[4]) : u"Inbox";
    auto folder = store.FolderByName(sms->key, name);
    if (!folder) return "no folder " + w[4];
    int64_t count = 0;
    if (Eventually([&] { return std::to_string(count = store.CountMessages(folder->key)) == w[3]; })) return {};
    return "found " + std::to_string(count) + " messages in " + Utf16ToUtf8(name);
  }
  if (w.size() < 4) return "expect store takes count N [FOLDER], or latest|ENTRYID and a property";
  const std::string& what = w[3];
  const bool flag = what == "read" || what == "unread";
  if (flag ? w.size() != 4 : w.size() != 5) return "expect store latest|ENTRYID class|text|sender VALUE, or read|unread";
  int64_t key = 0;
  if (w[2] == "latest") {
    key = LatestInInbox(store);
    if (!key) return "the Inbox is empty";
  } else {
    auto bytes = FromHex(w[2]);
    auto ref = bytes ? device::store::ParseEntryId(bytes->data(), bytes->size()) : std::nullopt;
    if (!ref || ref->kind != device::store::EntryKind::kMessage) return "not a message's entry identifier: " + w[2];
    key = ref->key;
  }
  uint32_t tag = what == "class" ? PR_MESSAGE_CLASS_W : what == "text" ? PR_SUBJECT_W
               : what == "sender" ? PR_SENDER_EMAIL_ADDRESS_W : flag ? PR_MESSAGE_FLAGS : 0;
  if (!tag) return "unknown property " + what + " (class, text, sender, read, unread)";
  std::string found = "no such message";
  bool ok = Eventually([&] {
    auto prop = store.ReadProperty(key, tag);
    if (!prop) {
      found = "no such message";
      return false;
    }
    if (!prop->has_value()) {
      found = "no " + what;
      return flag && what == "unread";
    }
    const auto& value = (*prop)->value;
    if (flag) {
      const bool read = std::holds_alternative<int64_t>(value) && (std::get<int64_t>(value) & MSGFLAG_READ);
      found = read ? "read" : "unread";
      return found == what;
    }
    found = std::holds_alternative<std::u16string>(value) ? Utf16ToUtf8(std::get<std::u16string>(value)) : "(not a text)";
    return found == w[4];
  });
  if (ok) return {};
  return "found " + what + " " + (flag ? found : "\"" + found + "\"");
}

std::string ExpectScreenText(Context& c, const Words& w);
std::string ExpectClipboard(Context& c, const Words& w);

std::string StepExpect(Context& c, const Words& w) {
  if (w.size() >= 2 && w[1] == "journal") return ExpectJournal(c, w);
  if (w.size() >= 2 && w[1] == "store") return ExpectStore(c, w);
  if (w.size() >= 2 && w[1] == "screen-text") return ExpectScreenText(c, w);
  if (w.size() >= 2 && w[1] == "clipboard") return ExpectClipboard(c, w);
  return "expect takes journal, store, screen-text or clipboard";
}

// expect clipboard TEXT: the clipboard's CF_UNICODETEXT is exactly TEXT.
std::string ExpectClipboard(Context&, const Words& w) {
  if (w.size() != 3) return "expect clipboard takes one text (quote it)";
  return CheckClipboardText(Utf8ToUtf16(w[2]), kExpectPatience);
}

bool IsHtmlView(HWND hwnd) {
  WCHAR name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return std::u16string(name) == u"DISPLAYCLASS";
}

// The texts the visible windows show, top-most first: window texts, the documents of HTML
// views (asked on their own threads), the soft keys and the rows of the Inbox's list.
std::vector<std::u16string> ScreenTexts(Context& c) {
  std::vector<std::u16string> texts;
  auto windows = device::gdi::Windows().VisibleWindows();
  auto& inbox_window = device::inbox::InboxWindow::Of(c.device);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const HWND hwnd = it->hwnd;
    if (IsHtmlView(hwnd)) {
      std::u16string text;
      SendMessageW(hwnd, device::htmlview::kQueryText, 0, reinterpret_cast<LPARAM>(&text));
      texts.push_back(std::move(text));
      continue;
    }
    WCHAR title[512] = {};
    if (GetWindowTextW(hwnd, title, 512) > 0) texts.emplace_back(title);
    // Only the bar in front is on the screen, so its soft keys are the ones shown.
    for (int key = 0; key < 2; ++key)
      if (std::u16string label = device::shell::SoftKeyText(hwnd, key); !label.empty()) texts.push_back(label);
    if (hwnd == inbox_window.list_window()) {
      for (const auto& row : inbox_window.Rows()) {
        texts.push_back(row.who);
        texts.push_back(row.first_line);
        texts.push_back(row.time);
      }
    }
  }
  return texts;
}

std::string ExpectScreenText(Context& c, const Words& w) {
  if (w.size() != 3) return "expect screen-text takes one text (quote it)";
  const std::u16string wanted = Utf8ToUtf16(w[2]);
  std::vector<std::u16string> texts;
  bool found = Eventually([&] {
    texts = ScreenTexts(c);
    for (const auto& t : texts)
      if (t.find(wanted) != std::u16string::npos) return true;
    return false;
  });
  if (found) return {};
  std::string why = "the screen does not show \"" + w[2] + "\"; it shows:";
  size_t shown = 0;
  for (const auto& t : texts) {
    if (t.empty() || shown++ == 8) continue;
    why += "\n  " + OneLine(t.size() > 120 ? t.substr(0, 120) + u"..." : t);
  }
  if (!shown) why += " no text";
  return why;
}

// Taps the top-most visible link whose target is TEXT (the module's links show their targets:
// numbers, web and e-mail addresses).
std::string StepTapLink(Context&, const Words& w) {
  if (w.size() != 2) return "tap-link takes the link's text (quote it)";
  const std::u16string target = Utf8ToUtf16(w[1]);
  auto windows = device::gdi::Windows().VisibleWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (!IsHtmlView(it->hwnd)) continue;
    POINT point{};
    if (!SendMessageW(it->hwnd, device::htmlview::kQueryLinkPoint, reinterpret_cast<WPARAM>(&target),
                      reinterpret_cast<LPARAM>(&point)))
      continue;
    HWND canvas = GetWindow(it->hwnd, GW_CHILD);
    ClientToScreen(canvas ? canvas : it->hwnd, &point);
    auto hit = device::Person::Get().Tap(point);
    if (!hit) return hit.error().message;
    Settle();
    return {};
  }
  return "no link to " + w[1] + " is on the screen";
}

// ---- Taps on windows the person can see ---------------------------------------------------

std::u16string ClassOf(HWND hwnd) {
  WCHAR name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::string TapAt(POINT point) {
  auto hit = device::Person::Get().Tap(point);
  if (!hit) return hit.error().message;
  Settle();
  return {};
}

// Taps the middle of the top-most visible window of class CLASS (the compose window's smiley
// button is a "STATIC").
std::string StepTapWindow(Context&, const Words& w) {
  if (w.size() != 2) return "tap-window takes a window class (quote it)";
  const std::u16string wanted = device::windows::FoldCase(Utf8ToUtf16(w[1]));
  // The person waits a moment for a window that is still on its way, as for an expect.
  POINT middle{};
  const bool found = Eventually([&] {
    auto windows = device::gdi::Windows().VisibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
      if (device::windows::FoldCase(ClassOf(it->hwnd)) != wanted) continue;
      middle = POINT{(it->window.left + it->window.right) / 2, (it->window.top + it->window.bottom) / 2};
      return true;
    }
    return false;
  });
  if (!found) return "no window of class " + w[1] + " is on the screen";
  return TapAt(middle);
}

// Taps the close box of the top-most visible captioned window titled TITLE.
std::string StepTapClose(Context&, const Words& w) {
  if (w.size() != 2) return "tap-close takes the window's title (quote it)";
  const std::u16string wanted = Utf8ToUtf16(w[1]);
  auto windows = device::gdi::Windows().VisibleWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (device::windows::WindowSystem::Get().Text(it->hwnd).value_or(u"") != wanted) continue;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(it->hwnd, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(GetWindowLongW(it->hwnd, GWL_EXSTYLE));
    const RECT box = device::windows::CloseBoxRect(style, ex_style, it->window.Width());
    if (IsRectEmpty(&box)) return "the window " + w[1] + " has no close box";
    return TapAt(POINT{it->window.left + (box.left + box.right) / 2, it->window.top + (box.top + box.bottom) / 2});
  }
  return "no window titled " + w[1] + " is on the screen";
}

// Taps the button of smiley CODE in the module's open smiley panel: a toolbar inside a
// "ToolbarWindow" window, whose buttons carry their smiley codes.
std::string StepTapSmiley(Context&, const Words& w) {
  if (w.size() != 2) return "tap-smiley takes a smiley code (quote it)";
  const std::u16string code = Utf8ToUtf16(w[1]);
  auto windows = device::gdi::Windows().VisibleWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const HWND toolbar = it->hwnd;
    if (ClassOf(toolbar) != TOOLBARCLASSNAMEW || !it->parent || ClassOf(it->parent) != u"ToolbarWindow") continue;
    const LRESULT count = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && i < 1024; ++i) {
      TBBUTTON button{};
      if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button))) continue;
      const auto* text = reinterpret_cast<const WCHAR*>(button.dwData);
      if (!text || std::u16string_view(text, std::min<size_t>(wcslen(text), 64)) != code) continue;
      RECT r{};
      if (!SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)))
        return "the smiley " + w[1] + " is hidden";
      POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ClientToScreen(toolbar, &middle);
      RECT panel{};
      GetClientRect(it->parent, &panel);
      MapWindowPoints(it->parent, nullptr, reinterpret_cast<POINT*>(&panel), 2);
      if (!PtInRect(&panel, middle)) return "the smiley " + w[1] + " is scrolled out of the panel";
      return TapAt(middle);
    }
  }
  return "no smiley panel on the screen offers " + w[1];
}

const std::map<std::string, Step>& Steps() {
  static const std::map<std::string, Step> steps = {
      {"deliver", StepDeliver}, {"wait", StepWait},       {"tap", StepTap},
      {"tap-link", StepTapLink}, {"softkey", StepSoftKey}, {"menu", StepMenu},
      {"press", StepPress},
      {"key", StepKey},         {"open", StepOpen},       {"screenshot", StepScreenshot},
      {"expect", StepExpect},   {"set", StepSet},
      {"tap-window", StepTapWindow}, {"tap-close", StepTapClose}, {"tap-smiley", StepTapSmiley}};
  return steps;
}

}  // namespace

int RunScript(const fs::path& script, const fs::path& image_dir) {
  std::ifstream in(script, std::ios::binary);
  if (!in) return Fail("cannot read " + script.string());
  // Read and check every line before anything runs, so that a typo at the end does not leave
  // a half-played scenario behind.
  struct Line {
    int number;
    Words words;
  };
  std::vector<Line> lines;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    if (number > 100000 || text.size() > 65536) return Fail(script.string() + ": too long a script");
    Words words;
    std::string error;
    if (!SplitWords(text, &words, &error))
      return Fail(script.string() + ":" + std::to_string(number) + ": " + error);
    if (words.empty()) continue;
    if (!Steps().count(words[0]))
      return Fail(script.string() + ":" + std::to_string(number) + ": unknown step " + words[0]);
    lines.push_back({number, std::move(words)});
  }

  Invocation boot;
  boot.image_dir = image_dir;
  if (!BootImage(boot)) return 1;
  device::Device& d = device::Device::Get();
  auto& inbox = device::inbox::Inbox::Of(d);
  // The person looks at the Inbox: its list follows what arrives and what the rule clients do.
  auto& window = device::inbox::InboxWindow::Of(d);
  window.Show();
  inbox.SetProcessedListener([&window](int64_t) { window.Refresh(); });
  inbox.Start();
  Context context{image_dir, d, inbox};
  int status = 0;
  for (const Line& line : lines) {
    std::string why = Steps().at(line.words[0])(context, line.words);
    std::fflush(stdout);
    if (!why.empty()) {
      Fail(script.string() + ":" + std::to_string(line.number) + ": " + line.words[0] + ": " + why);
      status = 1;
      break;
    }
  }
  window.Close();
  inbox.Stop();
  return status;
}

namespace {

int Run(Invocation& inv) {
  if (inv.args.size() != 1) return UsageError("run");
  return RunScript(inv.args[0], inv.image_dir);
}

}  // namespace

PELLIX_COMMAND("run", "run SCRIPT",
               "runs a scenario, one step a line (deliver, wait, tap, press, tap-link, softkey, menu, "
               "key, open, screenshot, expect, set, tap-window, tap-close, tap-smiley); see README.md",
               Run);

}  // namespace pellix::tool
