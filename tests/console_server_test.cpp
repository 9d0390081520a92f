// The console server as a browser or anything else on this machine meets it: the tool runs
// `console` on a fresh image, and the tests speak HTTP and WebSocket to it. Bad requests are
// answered and forgotten, oversized uploads refused before they reach the image, two pages see
// the same device, and a page that vanishes in the middle of a frame stops nothing.
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "gdi/png_writer.h"
#include "tool_runner.h"

extern char** environ;

namespace pellix {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// `pellix-device console --port 0` on a new image, stopped with SIGTERM at the end.
class ConsoleProcess {
 public:
  explicit ConsoleProcess(const std::filesystem::path& image) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string image_arg = image.string();
    const char* argv[] = {PELLIX_TOOL_PATH, "--image", image_arg.c_str(), "console", "--port", "0", nullptr};
    if (posix_spawn(&pid_, PELLIX_TOOL_PATH, &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    // What the console says after its address comes in the same write; a console with
    // nothing more to say leaves the pipe empty.
    pollfd more{fds[0], POLLIN, 0};
    while (poll(&more, 1, 50) == 1 && (more.revents & POLLIN) && read(fds[0], &c, 1) == 1) after_address_ += c;
    close(fds[0]);
    const std::string prefix = "http://127.0.0.1:";
    if (line.rfind(prefix, 0) == 0) port_ = static_cast<uint16_t>(std::stoi(line.substr(prefix.size())));
  }
  ~ConsoleProcess() { Stop(); }
  // SIGTERM; the exit status (0 for a clean stop).
  int Stop() {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }
  uint16_t port() const { return port_; }
  const std::string& after_address() const { return after_address_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string origin() const { return "http://" + host(); }

 private:
  pid_t pid_ = 0;
  uint16_t port_ = 0;
  std::string after_address_;
  int status_ = -1;
};

class ConsoleServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testing::RunTool(dir_.path(), "init").status, 0);
    console_ = std::make_unique<ConsoleProcess>(dir_.path());
    ASSERT_NE(console_->port(), 0) << "the console printed no address";
  }
  void TearDown() override {
    if (console_) {
      EXPECT_EQ(console_->Stop(), 0) << "the console did not stop cleanly";
    }
  }

  tcp::socket Connect() {
    tcp::socket s(ioc_);
    s.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), console_->port()));
    return s;
  }

  http::response<http::string_body> Request(http::verb verb, const std::string& target, std::string body = {},
                                            const std::string& origin = {}, const std::string& host = {}) {
    beast::tcp_stream stream(Connect());
    http::request<http::string_body> req{verb, target, 11};
    req.set(http::field::host, host.empty() ? console_->host() : host);
    if (!origin.empty()) req.set(http::field::origin, origin);
    req.body() = std::move(body);
    req.prepare_payload();
    beast::error_code ec;
    // The server may answer (413) and close before an oversized body is all written.
    http::write(stream, req, ec);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    http::read(stream, buffer, parser, ec);
    return parser.release();
  }

  // Sends raw bytes and returns everything the server answers before it closes.
  std::string Raw(const std::string& bytes) {
    tcp::socket s = Connect();
    net::write(s, net::buffer(bytes));
    std::string out;
    beast::error_code ec;
    char chunk[4096];
    for (size_t n; (n = s.read_some(net::buffer(chunk), ec)) > 0 && !ec;) out.append(chunk, n);
    return out;
  }

  std::unique_ptr<websocket::stream<tcp::socket>> OpenPage(std::chrono::seconds wait = std::chrono::seconds(10)) {
    auto ws = std::make_unique<websocket::stream<tcp::socket>>(Connect());
    // A page that waits for something that never comes fails the test instead of hanging it.
    const timeval patience{static_cast<time_t>(wait.count()), 0};
    setsockopt(ws->next_layer().native_handle(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    const std::string origin = console_->origin();
    ws->set_option(websocket::stream_base::decorator(
        [origin](websocket::request_type& req) { req.set(http::field::origin, origin); }));
    ws->handshake(console_->host(), "/ws");
    return ws;
  }

  // Reads messages until one satisfies `match` (text messages only unless `binary`).
  static bool WaitFor(websocket::stream<tcp::socket>& ws, const std::function<bool(const std::string&, bool)>& match,
                      int max_messages = 200) {
    for (int i = 0; i < max_messages; ++i) {
      beast::flat_buffer buffer;
      beast::error_code ec;
      ws.read(buffer, ec);
      if (ec) return false;
      if (match(beast::buffers_to_string(buffer.data()), ws.got_binary())) return true;
    }
    return false;
  }

  // Polls the console's state until its soft keys read `keys` (a JSON array, "[]" for no bar),
  // or, with `reading` false, until they read anything else.
  bool WaitForSoftKeys(const std::string& keys, std::chrono::seconds patience, bool reading = true) {
    const std::string wanted = "\"softKeys\":" + keys;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string body;
    for (;;) {
      body = Request(http::verb::get, "/api/state").body();
      if (body.find("\"softKeys\":[") != std::string::npos && (body.find(wanted) != std::string::npos) == reading)
        return true;
      if (std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the soft keys " << (reading ? "never read " : "still read ") << keys << "; last state: " << body;
    return false;
  }

  void ExpectStillServing() {
    auto res = Request(http::verb::get, "/api/state");
    EXPECT_EQ(res.result_int(), 200);
    EXPECT_NE(res.body().find("\"width\":240"), std::string::npos) << res.body();
  }

  testing::TempDir dir_;
  net::io_context ioc_;
  std::unique_ptr<ConsoleProcess> console_;
};

TEST_F(ConsoleServerTest, BadRequestsAreAnsweredAndForgotten) {
  EXPECT_NE(Raw("GARBAGE\r\n\r\n").find("400"), std::string::npos);
  EXPECT_NE(Raw("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: nope\r\n\r\n").find("HTTP/1.1 400"), std::string::npos);
  EXPECT_EQ(Request(http::verb::get, "/api/state", {}, {}, "evil.example:80").result_int(), 403);
  EXPECT_EQ(Request(http::verb::post, "/api/sms?from=1", "hi", "http://evil.example").result_int(), 403);
  EXPECT_EQ(Request(http::verb::get, "/..%2FREADME.md").result_int(), 404);
  EXPECT_EQ(Request(http::verb::get, "/nothing.html").result_int(), 404);
  EXPECT_EQ(Request(http::verb::get, "/a%zz").result_int(), 400);
  EXPECT_EQ(Request(http::verb::put, "/api/state").result_int(), 405);
  EXPECT_EQ(Request(http::verb::post, "/api/sms?from=%2B491711&count=99", "hi").result_int(), 400);
  EXPECT_EQ(Request(http::verb::post, "/api/sms?from=%2B491711&report=7", "hi").result_int(), 400);
  EXPECT_EQ(Request(http::verb::post, "/api/skins?name=..", "").result_int(), 400);
  EXPECT_EQ(Request(http::verb::delete_, "/api/contacts?oid=x").result_int(), 400);
  EXPECT_EQ(Request(http::verb::post, "/api/device?width=0").result_int(), 400);
  EXPECT_EQ(Request(http::verb::get, "/ws").result_int(), 400);  // not an upgrade
  // A page of another origin gets no WebSocket.
  auto ws = websocket::stream<tcp::socket>(Connect());
  ws.set_option(websocket::stream_base::decorator(
      [](websocket::request_type& req) { req.set(http::field::origin, "http://evil.example"); }));
  beast::error_code ec;
  ws.handshake(console_->host(), "/ws", ec);
  EXPECT_TRUE(ec);
  // A page that speaks nonsense over its WebSocket is ignored.
  auto page = OpenPage();
  page->text(true);
  page->write(net::buffer(std::string("tap -1 zz")));
  page->write(net::buffer(std::string("key Nothing")));
  page->write(net::buffer(std::string(8192, 'x')), ec);  // over the message limit: the page is dropped
  ExpectStillServing();
  EXPECT_EQ(Request(http::verb::get, "/").result_int(), 200);
}

TEST_F(ConsoleServerTest, OversizedUploadsNeverReachTheImage) {
  const std::string add = "/api/contacts?name=Ada+Quill&phone=%2B49171234567";
  EXPECT_EQ(Request(http::verb::post, add, std::string(2 * 1024 * 1024, 'x')).result_int(), 413);
  EXPECT_EQ(Request(http::verb::post, add, std::string(1024 * 1024 + 1, 'x')).result_int(), 413);
  EXPECT_EQ(Request(http::verb::post, add, "GIF89a but not really").result_int(), 400);
  EXPECT_EQ(Request(http::verb::post, "/api/sms?from=%2B491711", std::string(5000, 'a')).result_int(), 413);
  EXPECT_EQ(Request(http::verb::get, "/api/contacts").body(), "{\"contacts\":[]}");

  auto png = device::gdi::EncodePng(device::gdi::Surface(8, 8, 0xFF0000));
  ASSERT_TRUE(png.ok());
  auto res = Request(http::verb::post, add, std::string(png->begin(), png->end()));
  EXPECT_EQ(res.result_int(), 200) << res.body();
  const std::string list = Request(http::verb::get, "/api/contacts").body();
  EXPECT_NE(list.find("\"name\":\"Ada Quill\""), std::string::npos) << list;
  EXPECT_NE(list.find("\"picture\":" + std::to_string(png->size())), std::string::npos) << list;
}

TEST_F(ConsoleServerTest, TwoPagesSeeTheSameDevice) {
  auto first = OpenPage();
  auto second = OpenPage();
  auto key_frame = [](const std::string& m, bool binary) { return binary && m.size() > 9 && m[0] == 1 && m[1] == 1; };
  ASSERT_TRUE(WaitFor(*first, key_frame));
  ASSERT_TRUE(WaitFor(*second, key_frame));
  first->text(true);
  first->write(net::buffer(std::string("tap 12 150")));
  auto tapped = [](const std::string& m, bool binary) {
    return !binary && m.find("\"kind\":\"input\"") != std::string::npos && m.find("tap 12,150") != std::string::npos;
  };
  EXPECT_TRUE(WaitFor(*first, tapped));
  EXPECT_TRUE(WaitFor(*second, tapped));
}

TEST_F(ConsoleServerTest, APageClosedMidFrameStopsNothing) {
  {
    // Read the start of the first frame only, then reset the connection under it.
    tcp::socket s = Connect();
    const std::string upgrade = "GET /ws HTTP/1.1\r\nHost: " + console_->host() + "\r\nOrigin: " + console_->origin() +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    net::write(s, net::buffer(upgrade));
    char some[512];
    size_t got = 0;
    beast::error_code ec;
    while (got < sizeof some && !ec) got += s.read_some(net::buffer(some + got, sizeof some - got), ec);
    EXPECT_NE(std::string(some, got).find("101"), std::string::npos);
    s.set_option(net::socket_base::linger(true, 0));
    s.close();
  }
  ExpectStillServing();
  auto page = OpenPage();
  EXPECT_TRUE(WaitFor(*page, [](const std::string& m, bool binary) { return binary && m[0] == 1; }));
  // Messages still reach the device and its journal.
  EXPECT_EQ(Request(http::verb::post, "/api/sms?from=%2B49171234567", "Hello :-)").result_int(), 200);
  EXPECT_TRUE(WaitFor(*page, [](const std::string& m, bool binary) { return !binary && m.find("journal") != std::string::npos; }));
}

// A restart on another screen: the page is told, then starts again from a whole frame of the new
// screen, never from the last one of the device that went.
TEST_F(ConsoleServerTest, ARestartStartsThePageFromTheNewScreen) {
  auto page = OpenPage(std::chrono::seconds(30));
  auto key_frame = [](const std::string& m, bool binary) { return binary && m.size() > 9 && m[0] == 1 && m[1] == 1; };
  ASSERT_TRUE(WaitFor(*page, key_frame));
  auto res = Request(http::verb::post, "/api/device?width=320&height=240");
  ASSERT_EQ(res.result_int(), 200) << res.body();
  ASSERT_TRUE(WaitFor(*page, [](const std::string& m, bool binary) { return !binary && m == "{\"restarted\":true}"; },
                      1 << 30));
  std::string first;
  ASSERT_TRUE(WaitFor(*page, [&](const std::string& m, bool binary) {
    if (binary) first = m;
    return binary;
  }, 1 << 30));
  // u8 kind, u8 key, u16 width, u16 height, little-endian.
  ASSERT_GE(first.size(), 6u);
  auto u16 = [&](size_t at) { return static_cast<uint8_t>(first[at]) | static_cast<uint8_t>(first[at + 1]) << 8; };
  EXPECT_EQ(first[1], 1) << "not a whole frame";
  EXPECT_EQ(u16(2), 320);
  EXPECT_EQ(u16(4), 240);
}

// Someone at the page chooses from the device's menus: the menu the bubble's soft key opens
// waits for them, reaches the page with its items, takes the answer the page gives by id and
// closes there; answers for no open menu, or for ids it lacks, are refused. A menu left open
// does not hold up the console's stop.
TEST_F(ConsoleServerTest, MenusWaitForTheAnswerFromThePage) {
  // The sanitizers slow every step down many times over; each wait ends at its condition, and
  // only a console that never gets there meets the deadline.
  constexpr auto kPatience = std::chrono::seconds(30);
  auto page = OpenPage(kPatience);
  page->text(true);
  std::string seen;
  // Reads text messages until every needle has appeared in what was read since `seen` was cleared.
  // Frames keep coming while the bubble animates: a deadline, not the count, ends the wait.
  auto wait_for_all = [&](std::vector<std::string> needles) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool all = false;
    WaitFor(*page, [&](const std::string& m, bool binary) {
      if (!binary) seen += m + "\n";
      all = true;
      for (const auto& n : needles)
        if (seen.find(n) == std::string::npos) all = false;
      return all || std::chrono::steady_clock::now() > deadline;
    }, 1 << 30);
    return all;
  };
  auto say = [&](const std::string& line) {
    seen.clear();
    page->write(net::buffer(line));
  };
  // The journal tells of the bubble before its soft-key bar is up; a key pressed in between
  // reaches no bar. The soft keys are pressed once the bar names them.
  const std::string bubble_keys = "[\"Mark read\",\"Menu\"]";
  const std::string shown = "\"kind\":\"notification\",\"text\":\"show ";
  ASSERT_EQ(Request(http::verb::post, "/api/sms?from=%2B49171234567", "Hello there").result_int(), 200);
  ASSERT_TRUE(wait_for_all({shown})) << seen;
  ASSERT_TRUE(WaitForSoftKeys(bubble_keys, kPatience));

  say("key F2");
  ASSERT_TRUE(wait_for_all({"{\"menu\":{\"serial\":", "\"text\":\"Dismiss\""})) << seen;
  const size_t at = seen.find("{\"menu\":{\"serial\":") + 18;
  const std::string serial = seen.substr(at, seen.find(',', at) - at);
  const size_t dismiss = seen.rfind("{\"id\":", seen.find("\"text\":\"Dismiss\""));
  ASSERT_NE(dismiss, std::string::npos);
  const std::string id = seen.substr(dismiss + 6, seen.find(',', dismiss) - dismiss - 6);

  say("menu " + serial + " 65000");
  EXPECT_TRUE(wait_for_all({"{\"answer\":{\"refused\":\"the menu has no enabled item 65000\"}}"})) << seen;
  say("menu " + std::to_string(std::stoull(serial) + 1) + " " + id);
  EXPECT_TRUE(wait_for_all({"{\"answer\":{\"refused\":\"that menu is no longer open\"}}"})) << seen;
  say("menu " + serial + " x y");
  EXPECT_TRUE(wait_for_all({"{\"answer\":{\"refused\":\"malformed answer\"}}"})) << seen;
  EXPECT_EQ(seen.find("menuClosed"), std::string::npos) << "a refused answer closed the menu";

  say("menu " + serial + " " + id);
  EXPECT_TRUE(wait_for_all({"{\"answer\":{\"ok\":true}}", "{\"menuClosed\":" + serial + "}",
                            "menu choose \\\"Dismiss\\\" " + id}))
      << seen;
  // The same answer again finds no menu, and is not kept for the next one.
  say("menu " + serial + " " + id);
  EXPECT_TRUE(wait_for_all({"{\"answer\":{\"refused\":\"that menu is no longer open\"}}"})) << seen;
  // The dismissed bubble takes its bar along; the next one must bring its own.
  ASSERT_TRUE(WaitForSoftKeys(bubble_keys, kPatience, false));

  // Another message, its menu left open: the console still stops at once.
  seen.clear();
  ASSERT_EQ(Request(http::verb::post, "/api/sms?from=%2B49171234567", "Again").result_int(), 200);
  ASSERT_TRUE(wait_for_all({shown})) << seen;
  ASSERT_TRUE(WaitForSoftKeys(bubble_keys, kPatience));
  say("key F2");
  ASSERT_TRUE(wait_for_all({"{\"menu\":{\"serial\":"})) << seen;
  EXPECT_EQ(seen.find("menu cancel"), std::string::npos) << "the menu did not wait: " << seen;
  page.reset();
  // Unattended, the menu would hold the stop for its ten minutes of patience.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(console_->Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience);
}

// The console's SMS sender is the phone network: messages go through the SMS service and the
// Inbox to its rule clients, and a fresh image gets Pellix as its rule client, so the person
// sees Pellix's bubble.
TEST_F(ConsoleServerTest, MessagesReachPellixThroughTheInbox) {
  EXPECT_NE(console_->after_address().find("installed Pellix in the image"), std::string::npos)
      << "said after the address: " << console_->after_address();
  auto page = OpenPage();
  auto res = Request(http::verb::post, "/api/sms?from=%2B49171234567&report=1&count=3",
                     "Message to +49171234567 delivered");
  ASSERT_EQ(res.result_int(), 200) << res.body();
  const std::string& body = res.body();
  size_t handled = 0;
  for (size_t at = 0; (at = body.find("handled 1, event 0x10, result 0x00000000", at)) != std::string::npos; ++at)
    ++handled;
  EXPECT_EQ(handled, 3u) << body;
  EXPECT_TRUE(WaitFor(*page, [](const std::string& m, bool binary) {
    return !binary && m.find("\"kind\":\"inbox\"") != std::string::npos && m.find("message 3: rule client") != std::string::npos;
  }));
  EXPECT_TRUE(WaitFor(*page, [](const std::string& m, bool binary) {
    return !binary && m.find("\"kind\":\"notification\"") != std::string::npos && m.find("show ") != std::string::npos;
  })) << "no bubble appeared";
  page.reset();
  ASSERT_EQ(console_->Stop(), 0);

  // The module rewrote each report in the store; a second console finds it installed.
  const auto list = testing::RunTool(dir_.path(), "store list");
  size_t rewritten = 0;
  for (size_t at = 0; (at = list.out.find("IPM.SMStext.Ravlo\t+49171234567\tMessage to \"+49171234567\" delivered", at)) !=
                      std::string::npos;
       ++at)
    ++rewritten;
  EXPECT_EQ(rewritten, 3u) << list.out;
  console_ = std::make_unique<ConsoleProcess>(dir_.path());
  ASSERT_NE(console_->port(), 0);
  EXPECT_EQ(console_->after_address(), "");
  res = Request(http::verb::post, "/api/sms?from=%2B1555", "again");
  EXPECT_NE(res.body().find("handled 1"), std::string::npos) << res.body();
}

}  // namespace
}  // namespace pellix
