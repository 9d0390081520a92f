#include "console/console_server.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <thread>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "console/frame_source.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "person/journal.h"
#include "person/person.h"
#include "windows/menu.h"

namespace pellix::device::console {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// How often the screen's damage and the journal are looked at while a page is open: well
// inside the 50 ms a change may take to reach the page, and cheap, since an undamaged screen
// is not composed.
constexpr auto kTick = std::chrono::milliseconds(10);
// A page that falls this many frames behind gets one whole frame when it catches up instead.
constexpr size_t kMaxQueuedFrames = 4;
// Journal entries a page gets when it opens.
constexpr uint64_t kJournalHistory = 500;
// Largest message a page may send: input lines are a few words.
constexpr size_t kMaxPageMessage = 4096;
// Largest page file served.
constexpr std::uintmax_t kMaxPageFile = 4 * 1024 * 1024;

// Runs device work on one thread, in order.
class DeviceThread {
 public:
  DeviceThread() : thread_([this] { Run(); }) {}
  ~DeviceThread() { Stop(); }
  void Post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    if (!stopping_) tasks_.push_back(std::move(task));
    wake_.notify_one();
  }
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (stopping_) return;
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

std::string JournalMessage(const std::vector<JournalEntry>& entries, size_t from) {
  std::string s = "{\"journal\":[";
  for (size_t i = from; i < entries.size(); ++i) {
    const JournalEntry& e = entries[i];
    if (i != from) s += ",";
    s += "{\"seq\":" + std::to_string(e.sequence) + ",\"time\":" + std::to_string(e.device_time) +
         ",\"kind\":" + JsonString(e.kind) + ",\"text\":" + JsonString(e.text) +
         (e.attachment ? ",\"attachment\":true}" : "}");
  }
  return s + "]}";
}

// The buttons of a message box of `type`, in order, as the box shows them.
std::vector<std::pair<int, const char*>> BoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
  }
}

std::string MenuMessage(const OpenMenuState& open) {
  const auto& menu = open.menu;
  std::string s = "{\"menu\":{\"serial\":" + std::to_string(open.serial) + ",\"x\":" +
                  std::to_string(menu.position.x) + ",\"y\":" + std::to_string(menu.position.y) + ",\"items\":[";
  for (size_t i = 0; i < menu.items.size(); ++i) {
    const auto& item = menu.items[i];
    s += std::string(i ? "," : "") + "{\"id\":" + std::to_string(item.id) + ",\"text\":" +
         JsonString(Utf16ToUtf8(windows::VisibleMenuText(item.text))) +
         ",\"separator\":" + ((item.flags & MF_SEPARATOR) ? "true" : "false") +
         ",\"grayed\":" + ((item.flags & (MF_GRAYED | MF_DISABLED)) ? "true" : "false") +
         ",\"checked\":" + ((item.flags & MF_CHECKED) ? "true" : "false") +
         ",\"popup\":" + ((item.flags & MF_POPUP) ? "true" : "false") + "}";
  }
  return s + "]}}";
}

std::string BoxMessage(const OpenMessageBox& box) {
  const auto buttons = BoxButtons(box.type);
  UINT which = (box.type & MB_DEFMASK) >> 8;
  if (which >= buttons.size()) which = 0;
  std::string s = "{\"box\":{\"serial\":" + std::to_string(box.serial) + ",\"caption\":" +
                  JsonString(Utf16ToUtf8(box.caption)) + ",\"text\":" + JsonString(Utf16ToUtf8(box.text)) +
                  ",\"default\":" + std::to_string(buttons[which].first) + ",\"buttons\":[";
  for (size_t i = 0; i < buttons.size(); ++i)
    s += std::string(i ? "," : "") + "{\"id\":" + std::to_string(buttons[i].first) + ",\"label\":" +
         JsonString(buttons[i].second) + "}";
  return s + "]}}";
}

// A contact card the device shows for saving a contact: the page offers Save and Cancel.
std::string CardMessage(uint64_t serial, const std::u16string& name) {
  return "{\"card\":{\"serial\":" + std::to_string(serial) + ",\"name\":" + JsonString(Utf16ToUtf8(name)) + "}}";
}

const char* ContentType(const std::filesystem::path& file) {
  const std::string ext = file.extension().string();
  if (ext == ".html") return "text/html; charset=utf-8";
  if (ext == ".js") return "text/javascript; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".png") return "image/png";
  return nullptr;
}

// A page file's name: letters, digits, "-", "_" and one dot before a known extension, so no
// request can name anything outside the page's folder.
bool IsPageName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') return false;
  return name.find("..") == std::string_view::npos && ContentType(std::string(name)) != nullptr;
}

}  // namespace

class PageSession;

struct ConsoleServer::Impl {
  explicit Impl(ConsoleOptions o) : options(std::move(o)) {}

  ConsoleOptions options;
  net::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  net::steady_timer tick{ioc};
  uint16_t port = 0;
  std::thread network;
  DeviceThread device;
  // Held shared by everything that touches the device, exclusively while it is replaced.
  std::shared_mutex device_mutex;
  std::atomic<bool> stopped{false};

  // Network thread only.
  FrameSource frames;
  uint64_t journal_sent = 0;
  // Serials of the menu and the box the pages were last told of (0: none open).
  uint64_t menu_shown = 0;
  uint64_t box_shown = 0;
  uint64_t card_shown = 0;
  std::set<std::shared_ptr<PageSession>> pages;

  bool SameOrigin(std::string_view value, bool with_scheme) const {
    const std::string p = ":" + std::to_string(port);
    const std::string scheme = with_scheme ? "http://" : "";
    return value == scheme + "127.0.0.1" + p || value == scheme + "localhost" + p;
  }
  void Accept();
  void Tick();
  void PollModal();
  void Broadcast(std::shared_ptr<const std::string> message, bool binary);
  void Welcome(const std::shared_ptr<PageSession>& page);
  void RunApi(ApiRequest request, std::function<void(ApiReply)> done);
};

// One open page: its WebSocket, the messages waiting to go to it, and its input.
class PageSession : public std::enable_shared_from_this<PageSession> {
 public:
  PageSession(ConsoleServer::Impl& server, tcp::socket socket)
      : server_(server), ws_(std::move(socket)) {}

  void Start(http::request<http::string_body> request) {
    ws_.read_message_max(kMaxPageMessage);
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
      if (ec) return;
      self->server_.pages.insert(self);
      self->server_.Welcome(self);
      self->Read();
    });
  }

  void Send(std::shared_ptr<const std::string> message, bool binary) {
    if (closed_) return;
    if (binary) {
      if (frames_queued_ >= kMaxQueuedFrames) {
        needs_key_ = true;
        return;
      }
      ++frames_queued_;
    }
    queue_.push_back({std::move(message), binary});
    if (queue_.size() == 1) Write();
  }
  bool needs_key() const { return needs_key_ && frames_queued_ == 0; }
  void set_needs_key(bool v) { needs_key_ = v; }
  void Close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ec;
    beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ec);
    beast::get_lowest_layer(ws_).close();
  }

 private:
  struct Out {
    std::shared_ptr<const std::string> data;
    bool binary;
  };

  void Write() {
    ws_.binary(queue_.front().binary);
    ws_.async_write(net::buffer(*queue_.front().data),
                    [self = shared_from_this()](beast::error_code ec, size_t) {
                      if (self->queue_.empty()) return;  // dropped meanwhile
                      if (self->queue_.front().binary) --self->frames_queued_;
                      self->queue_.pop_front();
                      if (ec) return self->Drop();
                      if (!self->queue_.empty()) self->Write();
                    });
  }

  void Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, size_t) {
      if (ec) return self->Drop();
      std::string line = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      if (self->ws_.got_text() && IsAnswer(line)) {
        std::string why;
        {
          std::shared_lock lock(self->server_.device_mutex, std::try_to_lock);
          why = lock && Device::Current() ? ApplyAnswer(line) : "the device is restarting";
        }
        self->Send(std::make_shared<const std::string>(
                       why.empty() ? "{\"answer\":{\"ok\":true}}" : "{\"answer\":{\"refused\":" + JsonString(why) + "}}"),
                   false);
      } else if (self->ws_.got_text()) {
        ConsoleServer::Impl& server = self->server_;
        server.device.Post([&server, line = std::move(line)] {
          std::shared_lock lock(server.device_mutex);
          if (Device::Current()) ApplyInput(line);
        });
      }
      self->Read();
    });
  }

  // The page went away (closed, reset, or mid-frame): forget it; the others go on.
  void Drop() {
    closed_ = true;
    queue_.clear();
    frames_queued_ = 0;
    server_.pages.erase(shared_from_this());
  }

  ConsoleServer::Impl& server_;
  websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer buffer_;
  std::deque<Out> queue_;
  size_t frames_queued_ = 0;
  bool needs_key_ = false;
  bool closed_ = false;
};

// One HTTP connection: requests in order, each answered before the next is read.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(ConsoleServer::Impl& server, tcp::socket socket)
      : server_(server), stream_(std::move(socket)) {}

  void Read() {
    parser_.emplace();
    parser_->body_limit(server_.options.max_body);
    parser_->header_limit(16 * 1024);
    stream_.expires_after(std::chrono::seconds(30));
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRead(ec); });
  }

 private:
  void OnRead(beast::error_code ec) {
    if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
        ec == net::error::connection_reset || ec == net::error::eof)
      return Close();
    if (ec == http::error::body_limit)
      return Reply(ApiReply::Error(413, "the request body is larger than " +
                                            std::to_string(server_.options.max_body) + " bytes"),
                   false);
    if (ec) return Reply(ApiReply::Error(400, "malformed request"), false);
    Handle(parser_->release());
  }

  void Handle(http::request<http::string_body> req) {
    keep_alive_ = req.keep_alive();
    const std::string host(req[http::field::host]);
    if (!server_.SameOrigin(host, false)) return Reply(ApiReply::Error(403, "wrong host"), false);
    const auto origin = req.find(http::field::origin);
    if (origin != req.end() && !server_.SameOrigin(std::string_view(origin->value().data(), origin->value().size()), true))
      return Reply(ApiReply::Error(403, "requests from other origins are refused"), false);
    auto target = ParseTarget(std::string_view(req.target().data(), req.target().size()));
    if (!target) return Reply(ApiReply::Error(400, "malformed target"), false);

    if (target->path == "/ws") {
      if (!websocket::is_upgrade(req) || origin == req.end())
        return Reply(ApiReply::Error(400, "a WebSocket from this console's page is expected"), false);
      std::make_shared<PageSession>(server_, stream_.release_socket())->Start(std::move(req));
      return;
    }
    if (target->path.rfind("/api/", 0) == 0) {
      if (req.method() != http::verb::get && req.method() != http::verb::post &&
          req.method() != http::verb::delete_)
        return Reply(ApiReply::Error(405, "method not allowed"), keep_alive_);
      ApiRequest api{std::string(req.method_string()), target->path, std::move(target->query),
                     std::move(req.body())};
      server_.RunApi(std::move(api), [self = shared_from_this()](ApiReply reply) {
        self->Reply(std::move(reply), self->keep_alive_);
      });
      return;
    }
    if (req.method() != http::verb::get) return Reply(ApiReply::Error(405, "method not allowed"), keep_alive_);
    std::string name = target->path == "/" ? "index.html" : target->path.substr(1);
    if (!IsPageName(name)) return Reply(ApiReply::Error(404, "not found"), keep_alive_);
    const std::filesystem::path file = server_.options.page_dir / name;
    std::error_code fec;
    const auto size = std::filesystem::file_size(file, fec);
    std::ifstream in(file, std::ios::binary);
    if (fec || !in || size > kMaxPageFile) return Reply(ApiReply::Error(404, "not found"), keep_alive_);
    std::ostringstream body;
    body << in.rdbuf();
    Reply(ApiReply{200, ContentType(file), body.str()}, keep_alive_);
  }

  void Reply(ApiReply reply, bool keep_alive) {
    auto res = std::make_shared<http::response<http::string_body>>(
        static_cast<http::status>(reply.status), 11);
    res->set(http::field::content_type, reply.content_type);
    res->set(http::field::cache_control, "no-store");
    res->set("X-Content-Type-Options", "nosniff");
    res->keep_alive(keep_alive);
    res->body() = std::move(reply.body);
    res->prepare_payload();
    http::async_write(stream_, *res, [self = shared_from_this(), res](beast::error_code ec, size_t) {
      if (ec || !res->keep_alive()) return self->Close();
      self->Read();
    });
  }

  void Close() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
  }

  ConsoleServer::Impl& server_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  bool keep_alive_ = false;
};

void ConsoleServer::Impl::Accept() {
  acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted) return;
    if (!ec) std::make_shared<HttpSession>(*this, std::move(socket))->Read();
    Accept();
  });
}

void ConsoleServer::Impl::Broadcast(std::shared_ptr<const std::string> message, bool binary) {
  // A page may drop itself while it is sent to: walk a copy.
  auto all = pages;
  for (const auto& page : all) page->Send(message, binary);
}

void ConsoleServer::Impl::Welcome(const std::shared_ptr<PageSession>& page) {
  std::shared_lock lock(device_mutex, std::try_to_lock);
  if (!lock || !Device::Current()) {
    page->set_needs_key(true);
    return;
  }
  Device& d = Device::Get();
  const Profile& p = d.profile();
  page->Send(std::make_shared<const std::string>(
                 "{\"hello\":{\"width\":" + std::to_string(p.screen_width) + ",\"height\":" +
                 std::to_string(p.screen_height) + ",\"dpi\":" + std::to_string(p.dpi) +
                 ",\"platform\":" + JsonString(p.platform) + ",\"clock\":" +
                 std::to_string(p.clock_speed) + "}}"),
             false);
  // The newest entries the other pages have seen; later ones reach every page with the next tick.
  auto entries = d.journal().EntriesFrom(journal_sent > kJournalHistory ? journal_sent - kJournalHistory : 0);
  const size_t upto = std::min<size_t>(entries.size(), std::min<uint64_t>(journal_sent, kJournalHistory));
  entries.resize(upto);
  if (upto > 0) page->Send(std::make_shared<const std::string>(JournalMessage(entries, 0)), false);
  page->Send(std::make_shared<const std::string>(EncodeFrameMessage(frames.KeyFrame())), true);
  // What is open now, when the other pages were told of it; a newer one reaches all with the tick.
  Person& person = Person::Get();
  if (auto menu = person.OpenMenuWithSerial(); menu && menu->serial == menu_shown)
    page->Send(std::make_shared<const std::string>(MenuMessage(*menu)), false);
  if (auto box = person.OpenBox(); box && box->serial == box_shown)
    page->Send(std::make_shared<const std::string>(BoxMessage(*box)), false);
  if (auto card = person.OpenContactCardWithSerial(); card && card->first == card_shown)
    page->Send(std::make_shared<const std::string>(CardMessage(card->first, card->second)), false);
}

void ConsoleServer::Impl::PollModal() {
  Person& person = Person::Get();
  auto menu = person.OpenMenuWithSerial();
  if (const uint64_t now = menu ? menu->serial : 0; now != menu_shown) {
    if (menu_shown)
      Broadcast(std::make_shared<const std::string>("{\"menuClosed\":" + std::to_string(menu_shown) + "}"), false);
    if (menu) Broadcast(std::make_shared<const std::string>(MenuMessage(*menu)), false);
    menu_shown = now;
  }
  auto box = person.OpenBox();
  if (const uint64_t now = box ? box->serial : 0; now != box_shown) {
    if (box_shown)
      Broadcast(std::make_shared<const std::string>("{\"boxClosed\":" + std::to_string(box_shown) + "}"), false);
    if (box) Broadcast(std::make_shared<const std::string>(BoxMessage(*box)), false);
    box_shown = now;
  }
  auto card = person.OpenContactCardWithSerial();
  if (const uint64_t now = card ? card->first : 0; now != card_shown) {
    if (card_shown)
      Broadcast(std::make_shared<const std::string>("{\"cardClosed\":" + std::to_string(card_shown) + "}"), false);
    if (card) Broadcast(std::make_shared<const std::string>(CardMessage(card->first, card->second)), false);
    card_shown = now;
  }
}

void ConsoleServer::Impl::Tick() {
  tick.expires_after(kTick);
  tick.async_wait([this](beast::error_code ec) {
    if (ec || stopped) return;
    if (!pages.empty()) {
      std::shared_lock lock(device_mutex, std::try_to_lock);
      if (lock && Device::Current()) {
        Journal& journal = Device::Get().journal();
        if (journal.size() > journal_sent) {
          auto entries = journal.EntriesFrom(journal_sent);
          Broadcast(std::make_shared<const std::string>(JournalMessage(entries, 0)), false);
          journal_sent += entries.size();
        }
        PollModal();
        if (auto frame = frames.Poll())
          Broadcast(std::make_shared<const std::string>(EncodeFrameMessage(*frame)), true);
        std::shared_ptr<const std::string> key;
        auto all = pages;
        for (const auto& page : all) {
          if (!page->needs_key()) continue;
          if (!key) key = std::make_shared<const std::string>(EncodeFrameMessage(frames.KeyFrame()));
          page->set_needs_key(false);
          page->Send(key, true);
        }
      }
    }
    Tick();
  });
}

void ConsoleServer::Impl::RunApi(ApiRequest request, std::function<void(ApiReply)> done) {
  device.Post([this, request = std::move(request), done = std::move(done)] {
    ApiReply reply;
    const bool exclusive = options.exclusive_paths.count(request.path) > 0;
    try {
      if (!options.api) {
        reply = ApiReply::Error(404, "not found");
      } else if (exclusive) {
        std::unique_lock lock(device_mutex);
        reply = options.api(request);
      } else {
        std::shared_lock lock(device_mutex);
        reply = Device::Current() ? options.api(request) : ApiReply::Error(503, "the device is not running");
      }
    } catch (const std::exception& e) {
      reply = ApiReply::Error(500, e.what());
    }
    net::post(ioc, [this, reply = std::move(reply), done] {
      if (reply.device_restarted) {
        // A new device: its journal starts again, and every page starts from a whole frame of
        // its screen (the last frame kept is the old device's, perhaps of another size).
        journal_sent = 0;
        frames.Reset();
        // The new device's person counts its menus and boxes from 1 again.
        menu_shown = box_shown = card_shown = 0;
        auto all = pages;
        for (const auto& page : all) {
          page->Send(std::make_shared<const std::string>("{\"restarted\":true}"), false);
          Welcome(page);
        }
      }
      done(reply);
    });
  });
}

Result<std::unique_ptr<ConsoleServer>> ConsoleServer::Start(ConsoleOptions options) {
  auto impl = std::make_unique<Impl>(std::move(options));
  beast::error_code ec;
  const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), impl->options.port);
  impl->acceptor.open(endpoint.protocol(), ec);
  if (!ec) impl->acceptor.set_option(net::socket_base::reuse_address(true), ec);
  if (!ec) impl->acceptor.bind(endpoint, ec);
  if (!ec) impl->acceptor.listen(net::socket_base::max_listen_connections, ec);
  if (ec) return Fail("cannot listen on 127.0.0.1:" + std::to_string(impl->options.port) + ": " + ec.message());
  impl->port = impl->acceptor.local_endpoint().port();
  impl->Accept();
  impl->Tick();
  Impl* raw = impl.get();
  impl->network = std::thread([raw] { raw->ioc.run(); });
  return std::unique_ptr<ConsoleServer>(new ConsoleServer(std::move(impl)));
}

ConsoleServer::ConsoleServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ConsoleServer::~ConsoleServer() { Stop(); }

uint16_t ConsoleServer::port() const { return impl_->port; }
std::string ConsoleServer::address() const { return "http://127.0.0.1:" + std::to_string(impl_->port) + "/"; }

void ConsoleServer::Stop() {
  if (impl_->stopped.exchange(true)) return;
  net::post(impl_->ioc, [impl = impl_.get()] {
    beast::error_code ec;
    impl->acceptor.close(ec);
    impl->tick.cancel();
    auto all = impl->pages;
    for (const auto& page : all) page->Close();
    impl->pages.clear();
  });
  // Whatever is still in flight is abandoned after a moment: a stuck page must not hold the
  // device open.
  std::thread stopper([impl = impl_.get()] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    impl->ioc.stop();
  });
  if (impl_->network.joinable()) impl_->network.join();
  stopper.join();
  // No page is left to answer a menu or box the device has open, and device work in flight may
  // wait behind it: release it. Under the device lock, since that work may be a restart that is
  // replacing the device right now.
  {
    std::shared_lock lock(impl_->device_mutex);
    if (Device::Current()) Person::Get().set_attended(false);
  }
  impl_->device.Stop();
}

bool ApplyInput(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  Person& person = Person::Get();
  if (verb == "tap" || verb == "press") {
    long x = -1, y = -1, ms = 1000;
    in >> x >> y;
    if (verb == "press") in >> ms;
    if (!in || x < 0 || y < 0 || x > 0xFFFF || y > 0xFFFF || ms < 1 || ms > 10000) return false;
    std::string rest;
    if (in >> rest) return false;
    const POINT p{static_cast<LONG>(x), static_cast<LONG>(y)};
    // A tap on the bare desktop reaches no window; for the page it is still a tap.
    if (verb == "tap") (void)person.Tap(p);
    else (void)person.LongPress(p, static_cast<uint32_t>(ms));
    return true;
  }
  if (verb == "key") {
    static const std::pair<const char*, BYTE> kKeys[] = {
        {"F1", VK_F1},     {"F2", VK_F2},         {"Up", VK_UP},         {"Down", VK_DOWN},
        {"Left", VK_LEFT}, {"Right", VK_RIGHT},   {"Enter", VK_RETURN},  {"Talk", VK_TTALK},
        {"End", VK_TEND}};
    std::string name, rest;
    in >> name;
    if (in >> rest) return false;
    for (const auto& [key, vk] : kKeys)
      if (name == key) {
        person.TypeKey(vk);
        return true;
      }
  }
  return false;
}

bool IsAnswer(const std::string& line) {
  return line.rfind("menu ", 0) == 0 || line.rfind("box ", 0) == 0 || line.rfind("card ", 0) == 0;
}

std::string ApplyAnswer(const std::string& line) {
  std::istringstream in(line);
  std::string verb, serial_text, choice, rest;
  in >> verb >> serial_text >> choice;
  if (verb != "menu" && verb != "box" && verb != "card") return "not an answer";
  if (choice.empty() || (in >> rest)) return "malformed answer";
  auto number = [](const std::string& text) -> std::optional<uint64_t> {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    return std::stoull(text);
  };
  const auto serial = number(serial_text);
  if (!serial || *serial == 0) return "malformed answer";
  Person& person = Person::Get();
  if (verb == "menu") {
    const auto id = choice == "cancel" ? std::optional<uint64_t>(0) : number(choice);
    if (!id || *id > 0xFFFF) return "malformed answer";
    const MenuAnswer answer = choice == "cancel" ? MenuAnswer::Cancel() : MenuAnswer::ById(static_cast<UINT>(*id));
    if (person.AnswerOpenMenu(*serial, answer)) return {};
    auto open = person.OpenMenuWithSerial();
    return open && open->serial == *serial ? "the menu has no enabled item " + choice
                                           : "that menu is no longer open";
  }
  if (verb == "card") {
    if (choice != "save" && choice != "cancel") return "malformed answer";
    if (!person.AnswerOpenContactCard(*serial, choice == "save")) return "that contact card is no longer shown";
    return {};
  }
  const auto button = number(choice);
  auto open = person.OpenBox();
  if (!open || open->serial != *serial) return "that message box is no longer open";
  bool known = false;
  for (const auto& [id, label] : BoxButtons(open->type)) known = known || (button && *button == static_cast<uint64_t>(id));
  if (!known) return "the message box has no button " + choice;
  if (!person.AnswerOpenBox(*serial, static_cast<int>(*button))) return "that message box is no longer open";
  return {};
}

}  // namespace pellix::device::console
