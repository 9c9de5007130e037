#include "console/ConsoleServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/InputJson.h"
#include "console/StateHistory.h"
#include "platform/path/HostFile.h"
#include "tools/common/Json.h"

namespace qv::console {
namespace {

using Clock = std::chrono::steady_clock;

// How long a page's poll for a newer state waits before it is answered with the same one.
constexpr auto kPollPatience = std::chrono::seconds(20);
// Threads that serve requests: more than the connections a browser keeps open to one host
// (six), for two tabs. Only requests that carry a credential reach them.
constexpr std::size_t kServerThreads = 16;
// How long a request may take from its first byte to its last, and how long a new connection
// may wait for its first byte.
constexpr auto kRequestTime = std::chrono::seconds(5);
// How long a connection waits for its next request after an answer.
constexpr auto kIdleTime = std::chrono::seconds(2);
// How long the door keeps reading (and dropping) what a client still sends after a refusal.
constexpr auto kDrainTime = std::chrono::milliseconds(500);
// How long an answer's write may wait for the client.
constexpr std::chrono::milliseconds kWriteTime{5000};
// The longest head of a request.
constexpr std::size_t kMaxHeader = 16 * 1024;
// A capability for a tab of its own must be used within a minute; it lapses ten minutes after
// its last use, and at most so many live at once (the oldest go first).
constexpr auto kLinkFirstUse = std::chrono::minutes(1);
constexpr auto kLinkIdle = std::chrono::minutes(10);
constexpr std::size_t kMaxLinks = 256;
// How long a viewer's page may take to appear after a preview started the viewer.
constexpr auto kViewerPatience = std::chrono::seconds(5);
const char* ContentType(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  if (ext == ".html" || ext == ".htm")
    return "text/html; charset=utf-8";
  if (ext == ".css")
    return "text/css; charset=utf-8";
  if (ext == ".js")
    return "text/javascript; charset=utf-8";
  if (ext == ".json")
    return "application/json";
  if (ext == ".svg")
    return "image/svg+xml";
  if (ext == ".png")
    return "image/png";
  if (ext == ".woff")
    return "font/woff";
  if (ext == ".woff2")
    return "font/woff2";
  if (ext == ".ttf")
    return "font/ttf";
  return "application/octet-stream";
}

// A relative name made of plain components only: no "..", no ".", no empty component, no
// characters a file name of ours never holds.
bool PlainName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name.front() == '/' || name.back() == '/')
    return false;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = name.find('/', start);
    std::string part = name.substr(start, end == std::string::npos ? end : end - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    for (char c : part) {
      auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == '\\' || c == ':' || u == 0x7F)
        return false;
    }
    if (end == std::string::npos)
      return true;
    start = end + 1;
  }
}

// Reads `name` from `folder` when it lies inside it (links included); false when not there.
bool ReadServed(const std::string& folder, const std::string& name, std::string* body,
                std::filesystem::path* file) {
  if (folder.empty() || !PlainName(name))
    return false;
  std::error_code ec;
  std::filesystem::path root = std::filesystem::canonical(folder, ec);
  if (ec)
    return false;
  std::filesystem::path path = std::filesystem::canonical(root / name, ec);
  if (ec || !std::filesystem::is_regular_file(path, ec))
    return false;
  auto rel = path.lexically_relative(root);
  if (rel.empty() || *rel.begin() == "..")
    return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in.good() && !in.eof())
    return false;
  *body = text.str();
  *file = path;
  return true;
}

// Reads `name` from a folder of the world through the world's door: the folder (links
// resolved) must lie inside the world and the file be no link.
bool ReadWorldServed(const std::string& world, const std::string& folder, const std::string& name,
                     std::string* body, std::filesystem::path* file) {
  if (world.empty() || folder.empty() || !PlainName(name))
    return false;
  std::string path = folder + "/" + name;
  if (!qv::HostRoot(world).Read(path, body))
    return false;
  *file = path;
  return true;
}

// Compares without leaking where the first difference is.
bool SameSecret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size())
    return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i] ^ secret[i]);
  return diff == 0;
}

// Sets the answer's body as it is. httplib compresses a body given to set_content for a
// browser that takes brotli, at brotli's slowest setting: tens of milliseconds for each file
// of the page and hundreds for a state of thousands of rows, to save nothing on the loopback
// interface. A body of known length from a content provider goes out as given.
void SetUncompressed(httplib::Response& res, std::string body, const char* type) {
  if (body.empty())
    return res.set_content(body, type);
  auto shared = std::make_shared<const std::string>(std::move(body));
  res.set_content_provider(
      shared->size(), type,
      [shared](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(shared->data() + offset, length);
      });
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(why + "\n", "text/plain; charset=utf-8");
}

// A viewer page that takes answers posts them to itself: under "no-referrer" the browser
// would send that post with the origin "null", which the door refuses.
std::vector<std::pair<std::string, std::string>> SecurityHeaders(const char* policy,
                                                                 bool viewer = false) {
  return {{"X-Content-Type-Options", "nosniff"},
          {"Content-Security-Policy", policy},
          {"Referrer-Policy", viewer ? "same-origin" : "no-referrer"}};
}

// What the handlers share.
struct Shared {
  BrowserBridge* bridge;
  ConsoleCommand command;
  ServerFolders folders;
  StateHistory history;  // what an answer's patch is made against
};

// The version a request says the page holds, from its parameter `name`: -1 when it gives none;
// false when it is no number.
bool HeldVersion(const httplib::Request& req, const char* name, long long* version) {
  *version = -1;
  std::string text = req.get_param_value(name);
  if (text.empty())
    return true;
  try {
    std::size_t used = 0;
    *version = std::stoll(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

// The answer to an input or a console command: whether it was taken, and the state after it.
std::string Answer(bool ok, const std::string& why, const std::string& state) {
  nlohmann::json head = {{"ok", ok}, {"problem", why}};
  std::string text = head.dump();
  if (state.size() > 2)
    text.replace(text.size() - 1, 1, "," + state.substr(1));
  return text;
}

// The security headers of every answer. The page and the help load their scripts, styles,
// fonts and pictures from this console only and run no inline script; no page may be framed.
constexpr char kPagePolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "font-src 'self'; connect-src 'self'; base-uri 'self'; form-action 'none'; "
    "frame-ancestors 'none'";
// The viewer's pages carry their style inline and nothing else.
// A page that takes answers posts them to its own address.
constexpr char kViewerPolicy[] =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; base-uri 'none'; "
    "form-action 'self'; frame-ancestors 'none'";

std::string StatusLine(int status) {
  switch (status) {
    case 100:
      return "100 Continue";
    case 400:
      return "400 Bad Request";
    case 403:
      return "403 Forbidden";
    case 405:
      return "405 Method Not Allowed";
    case 408:
      return "408 Request Timeout";
    case 411:
      return "411 Length Required";
    case 413:
      return "413 Payload Too Large";
    case 415:
      return "415 Unsupported Media Type";
    case 431:
      return "431 Request Header Fields Too Large";
    default:
      return std::to_string(status) + " Refused";
  }
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trimmed(const std::string& text) {
  std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos)
    return "";
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// A request's head as the front door reads it: the request line and the fields it decides
// on. Anything the library might read otherwise than the door (a bare CR or LF, a folded
// line, one of these fields twice) is refused rather than guessed at.
struct Head {
  std::string method;
  std::string path;
  std::string query;
  std::map<std::string, std::string> fields;  // lower-case name: value
};

bool ParseHead(const std::string& text, Head* head) {
  static const std::set<std::string> kDecisive = {"host",
                                                  "origin",
                                                  "x-console-secret",
                                                  "content-length",
                                                  "transfer-encoding",
                                                  "content-encoding",
                                                  "expect"};
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\0' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) ||
        (c == '\n' && (i == 0 || text[i - 1] != '\r')))
      return false;
  }
  std::size_t at = text.find("\r\n");
  std::string line = text.substr(0, at);
  std::size_t space1 = line.find(' ');
  std::size_t space2 = line.find(' ', space1 + 1);
  if (space1 == std::string::npos || space2 == std::string::npos ||
      line.find(' ', space2 + 1) != std::string::npos)
    return false;
  head->method = line.substr(0, space1);
  std::string target = line.substr(space1 + 1, space2 - space1 - 1);
  std::string version = line.substr(space2 + 1);
  if (head->method.empty() || target.empty() || target.front() != '/' ||
      (version != "HTTP/1.1" && version != "HTTP/1.0"))
    return false;
  std::size_t mark = target.find('?');
  head->path = target.substr(0, mark);
  head->query = mark == std::string::npos ? "" : target.substr(mark + 1);
  while (at != std::string::npos && at + 2 < text.size()) {
    std::size_t next = text.find("\r\n", at + 2);
    line = text.substr(at + 2, next == std::string::npos ? next : next - at - 2);
    at = next;
    if (line.empty())
      continue;
    std::size_t colon = line.find(':');
    if (line.front() == ' ' || line.front() == '\t' || colon == 0 || colon == std::string::npos)
      return false;
    std::string name = line.substr(0, colon);
    if (name.find_first_of(" \t") != std::string::npos)
      return false;
    name = Lower(name);
    if (kDecisive.count(name) != 0 &&
        !head->fields.emplace(name, Trimmed(line.substr(colon + 1))).second)
      return false;
  }
  return true;
}

std::string Field(const Head& head, const std::string& name) {
  auto it = head.fields.find(name);
  return it == head.fields.end() ? "" : it->second;
}

// The value of `name` in a query, as given (the secret is plain hexadecimal digits).
std::string QueryValue(const std::string& query, const std::string& name) {
  std::size_t at = 0;
  while (at <= query.size()) {
    std::size_t end = query.find('&', at);
    std::string pair = query.substr(at, end == std::string::npos ? end : end - at);
    if (pair.compare(0, name.size() + 1, name + "=") == 0)
      return pair.substr(name.size() + 1);
    if (end == std::string::npos)
      break;
    at = end + 1;
  }
  return "";
}

// Sends all of `data` or gives up at `until`.
bool SendAll(int fd, const char* data, std::size_t size, Clock::time_point until) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0)
      return false;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
  return true;
}

// What a worker reads a request from: the bytes the front door read, then nothing. Answers go
// straight to the socket.
class HeldStream : public httplib::Stream {
 public:
  HeldStream(int fd, std::string bytes) : fd_(fd), bytes_(std::move(bytes)) {}
  bool is_readable() const override { return at_ < bytes_.size(); }
  bool is_writable() const override {
    pollfd p{fd_, POLLOUT, 0};
    return poll(&p, 1, static_cast<int>(kWriteTime.count())) > 0 &&
           (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
  }
  ssize_t read(char* ptr, std::size_t size) override {
    std::size_t n = std::min(size, bytes_.size() - at_);
    std::memcpy(ptr, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, std::size_t size) override {
    if (!is_writable())
      return -1;
    return send(fd_, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Address(getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Address(getsockname, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  void Address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    char text[INET_ADDRSTRLEN] = {};
    if (get(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
        address.sin_family == AF_INET &&
        inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) != nullptr) {
      ip = text;
      port = ntohs(address.sin_port);
    }
  }

  int fd_;
  std::string bytes_;
  std::size_t at_ = 0;
};

// Runs the accepted socket's task on the accepting thread: the task only hands the socket to
// the front door.
class AtOnce : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

}  // namespace

class ConsoleServer::Impl : public httplib::Server {
 public:
  explicit Impl(std::string secret) : secret_(std::move(secret)) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
      wake_[0] = wake_[1] = -1;
    pageToken_ = NewSecret();
    door_ = std::thread([this] { Door(); });
    for (std::size_t i = 0; i < kServerThreads; ++i)
      workers_.emplace_back([this] { Work(); });
  }
  ~Impl() override { Halt(); }

  void Halt() {
    stop();
    {
      std::lock_guard lock(mutex_);
      if (halted_)
        return;
      halted_ = true;
    }
    jobsReady_.notify_all();
    Wake();
    if (door_.joinable())
      door_.join();
    for (std::thread& worker : workers_)
      worker.join();
    for (Job& job : jobs_)
      Close(job.fd);
    for (Waiting& waiting : incoming_)
      Close(waiting.fd);
    jobs_.clear();
    incoming_.clear();
    if (wake_[0] >= 0) {
      close(wake_[0]);
      close(wake_[1]);
    }
  }

  std::string Link(const std::string& path) {
    std::string token = NewSecret();
    std::string scope = path.rfind("/help/", 0) == 0 ? "/help/" : path;
    std::lock_guard lock(capMutex_);
    auto now = Clock::now();
    std::erase_if(links_, [&](const Capability& c) { return c.until < now; });
    if (links_.size() >= kMaxLinks)
      links_.erase(links_.begin());
    links_.push_back({token, scope, now + kLinkFirstUse});
    return "/k/" + token + path;
  }

  const std::string& PageToken() const { return pageToken_; }
  std::atomic<int> port{-1};

 private:
  struct Capability {
    std::string token;
    std::string scope;  // a path, or a folder's path ending in '/'
    Clock::time_point until;
  };
  // A connection the door waits on: for its next request, or to drain what the client still
  // sends after a refusal before it is closed (closing with unread bytes would reset the
  // connection and lose the refusal on its way).
  struct Waiting {
    int fd = -1;
    std::string bytes;
    Clock::time_point until;  // the deadline of what it waits for
    bool started = false;     // a byte of the request came
    bool draining = false;
    bool continued = false;  // "100 Continue" was sent
  };
  struct Job {
    int fd;
    std::string request;
    std::string rest;  // bytes after the request: the next one's start
  };

  bool process_and_close_socket(socket_t sock) override {
    Take(sock, "", Clock::now() + kRequestTime);
    return true;
  }

  static void Close(int fd) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }

  void Wake() {
    char byte = 0;
    if (wake_[1] >= 0)
      (void)!::write(wake_[1], &byte, 1);
  }

  void Take(int fd, std::string bytes, Clock::time_point until) {
    {
      std::lock_guard lock(mutex_);
      if (!halted_) {
        Waiting waiting;
        waiting.fd = fd;
        waiting.started = !bytes.empty();
        waiting.until = waiting.started ? Clock::now() + kRequestTime : until;
        waiting.bytes = std::move(bytes);
        incoming_.push_back(std::move(waiting));
        fd = -1;
      }
    }
    if (fd >= 0)
      Close(fd);
    else
      Wake();
  }

  // Answers a refusal and keeps the connection a moment to drain.
  void RefuseAtDoor(Waiting& w, int status, const std::string& why) {
    std::string body = why + "\n";
    std::string text = "HTTP/1.1 " + StatusLine(status) +
                       "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : SecurityHeaders(kPagePolicy))
      text.append(name).append(": ").append(value).append("\r\n");
    text += "\r\n" + body;
    SendAll(w.fd, text.data(), text.size(), Clock::now() + std::chrono::milliseconds(200));
    shutdown(w.fd, SHUT_WR);
    w.draining = true;
    w.until = Clock::now() + kDrainTime;
  }

  // Decides on what `w` has sent so far: true when it is done with (refused, or a whole
  // request handed to a worker), false while more is to come.
  bool Examine(Waiting& w) {
    std::size_t end = w.bytes.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (w.bytes.size() > kMaxHeader)
        RefuseAtDoor(w, 431, "the request's head is too large");
      return w.draining;
    }
    Head head;
    if (end + 4 > kMaxHeader || !ParseHead(w.bytes.substr(0, end + 2), &head)) {
      RefuseAtDoor(w, 400, "bad request");
      return true;
    }
    if (!Allowed(head)) {
      RefuseAtDoor(w, 403, "refused");
      return true;
    }
    if (head.method != "GET" && head.method != "HEAD" && head.method != "POST") {
      RefuseAtDoor(w, 405, "not allowed");
      return true;
    }
    if (head.fields.count("transfer-encoding") != 0) {
      RefuseAtDoor(w, 411, "a body needs a Content-Length");
      return true;
    }
    std::string encoding = Lower(Field(head, "content-encoding"));
    if (!encoding.empty() && encoding != "identity") {
      RefuseAtDoor(w, 415, "an encoded body is not taken");
      return true;
    }
    std::string length = Field(head, "content-length");
    std::size_t size = 0;
    if (!length.empty()) {
      if (length.size() > 9 || length.find_first_not_of("0123456789") != std::string::npos) {
        RefuseAtDoor(w, length.find_first_not_of("0123456789") == std::string::npos ? 413 : 400,
                     length.find_first_not_of("0123456789") == std::string::npos ? "too large"
                                                                                 : "bad request");
        return true;
      }
      size = std::stoul(length);
      if (size > kMaxBody) {
        RefuseAtDoor(w, 413, "too large");
        return true;
      }
    }
    std::size_t whole = end + 4 + size;
    if (w.bytes.size() < whole) {
      if (!w.continued && Lower(Field(head, "expect")) == "100-continue") {
        w.continued = true;
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        SendAll(w.fd, kContinue, sizeof kContinue - 1,
                Clock::now() + std::chrono::milliseconds(200));
      }
      return false;
    }
    Job job{w.fd, w.bytes.substr(0, whole), w.bytes.substr(whole)};
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    jobsReady_.notify_one();
    return true;
  }

  bool Allowed(const Head& head) {
    const std::string port = std::to_string(this->port);
    std::string host = Field(head, "host");
    if (host != "127.0.0.1:" + port && host != "localhost:" + port)
      return false;
    std::string origin = Field(head, "origin");
    if (!origin.empty() && origin != "http://127.0.0.1:" + port &&
        origin != "http://localhost:" + port)
      return false;
    auto secret = head.fields.find("x-console-secret");
    if (secret != head.fields.end())
      return SameSecret(secret->second, secret_);
    if (head.path == "/")
      return SameSecret(QueryValue(head.query, "s"), secret_);
    // Behind a capability only reading, and the answers a viewer page posts to itself.
    bool post = head.method == "POST";
    if (head.path.rfind("/k/", 0) != 0 || (head.method != "GET" && head.method != "HEAD" && !post))
      return false;
    std::size_t slash = head.path.find('/', 3);
    if (slash == std::string::npos)
      return false;
    std::string token = head.path.substr(3, slash - 3);
    std::string rest = head.path.substr(slash);
    if (SameSecret(token, pageToken_))
      return !post && (rest.rfind("/web/", 0) == 0 || rest.rfind("/98.css/", 0) == 0 ||
                       rest.rfind("/images/", 0) == 0);
    if (post && rest.rfind("/viewer/", 0) != 0)
      return false;
    std::lock_guard lock(capMutex_);
    auto now = Clock::now();
    for (Capability& link : links_) {
      if (link.until < now || !SameSecret(token, link.token))
        continue;
      bool inScope = link.scope.back() == '/' ? rest.rfind(link.scope, 0) == 0 : rest == link.scope;
      if (inScope)
        link.until = now + kLinkIdle;
      return inScope;
    }
    return false;
  }

  // The front door: waits on every connection without a worker, reads each request whole
  // within its deadline, refuses what it must and hands the rest to the workers.
  void Door() {
    std::vector<Waiting> waiting;
    std::vector<Waiting> fresh;
    std::vector<pollfd> polled;
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (halted_)
          break;
        fresh.swap(incoming_);
      }
      // What came back with a connection may already be a whole request.
      for (Waiting& w : fresh) {
        if (w.bytes.empty() || !Examine(w) || w.draining)
          waiting.push_back(std::move(w));
      }
      fresh.clear();
      auto now = Clock::now();
      auto next = now + std::chrono::seconds(1);
      for (const Waiting& w : waiting)
        next = std::min(next, w.until);
      polled.assign(1, pollfd{wake_[0], POLLIN, 0});
      for (const Waiting& w : waiting)
        polled.push_back(pollfd{w.fd, POLLIN, 0});
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
      poll(polled.data(), polled.size(), static_cast<int>(std::max<long long>(wait, 0)));
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
      now = Clock::now();
      std::vector<Waiting> kept;
      kept.reserve(waiting.size());
      for (std::size_t i = 0; i < waiting.size(); ++i) {
        Waiting& w = waiting[i];
        bool done = false;
        if ((polled[i + 1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
          char buffer[16384];
          ssize_t n = recv(w.fd, buffer, sizeof buffer, MSG_DONTWAIT);
          if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Close(w.fd);
            continue;
          }
          if (n > 0 && !w.draining) {
            if (!w.started)
              w.until = now + kRequestTime;
            w.started = true;
            w.bytes.append(buffer, static_cast<std::size_t>(n));
            done = Examine(w) && !w.draining;
          }
        }
        if (done)
          continue;
        if (w.until <= now) {
          if (w.started && !w.draining) {
            RefuseAtDoor(w, 408, "the request took too long");
            w.until = now;  // no second chance to drain
          }
          Close(w.fd);
          continue;
        }
        kept.push_back(std::move(w));
      }
      waiting = std::move(kept);
    }
    for (Waiting& w : waiting)
      Close(w.fd);
  }

  void Work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        jobsReady_.wait(lock, [&] { return halted_ || !jobs_.empty(); });
        if (halted_)
          return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      HeldStream stream(job.fd, std::move(job.request));
      bool closed = false;
      bool ok = process_request(stream, false, closed, nullptr);
      if (ok && !closed)
        Take(job.fd, std::move(job.rest), Clock::now() + kIdleTime);
      else
        Close(job.fd);
    }
  }

  std::string secret_;
  std::string pageToken_;
  std::mutex capMutex_;
  std::vector<Capability> links_;
  std::mutex mutex_;
  bool halted_ = false;
  std::vector<Waiting> incoming_;
  std::deque<Job> jobs_;
  std::condition_variable jobsReady_;
  int wake_[2] = {-1, -1};
  std::thread door_;
  std::vector<std::thread> workers_;
};

std::string NewSecret() {
  std::random_device random;
  static const char kDigits[] = "0123456789abcdef";
  std::string secret;
  for (int i = 0; i < 32; ++i)
    secret += kDigits[random() & 15];
  return secret;
}

ConsoleServer::ConsoleServer(BrowserBridge* bridge, ConsoleCommand command, ServerFolders folders,
                             std::string secret)
    : impl_(std::make_unique<Impl>(std::move(secret))) {
  Impl& server = *impl_;
  server.set_payload_max_length(kMaxBody);
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  server.set_keep_alive_timeout(2);
  // The library's default lets a second server bind the same port (SO_REUSEPORT), and the
  // kernel would share the requests between two consoles.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.new_task_queue = [] { return new AtOnce; };

  server.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    bool viewer = req.path.find("/viewer/") != std::string::npos;
    for (const auto& [name, value] :
         SecurityHeaders(viewer ? kViewerPolicy : kPagePolicy, viewer)) {
      if (!res.has_header(name.c_str()))
        res.set_header(name.c_str(), value);
    }
  });

  auto state = std::make_shared<Shared>();
  state->bridge = bridge;
  state->command = std::move(command);
  state->folders = std::move(folders);

  server.Get("/", [state, &server](const httplib::Request&, httplib::Response& res) {
    std::string body;
    std::filesystem::path file;
    if (!ReadServed(state->folders.web, "index.html", &body, &file))
      return Refuse(res, 500, "the page is missing");
    // The page's own files come through a capability of the run: the browser fetches them
    // without the page's help.
    static const std::string kBase = "<base href=\"/\">";
    std::size_t at = body.find(kBase);
    if (at == std::string::npos)
      return Refuse(res, 500, "the page has no base");
    body.replace(at, kBase.size(), "<base href=\"/k/" + server.PageToken() + "/\">");
    res.set_header("Cache-Control", "no-store");
    SetUncompressed(res, std::move(body), ContentType(file));
  });

  // Each folder's files by the secret's header or behind a capability (/k/<token>/...).
  auto serveFrom = [state](std::string ServerFolders::*folder) {
    return [state, folder](const httplib::Request& req, httplib::Response& res) {
      std::string body;
      std::filesystem::path file;
      if (!ReadServed(state->folders.*folder, req.matches[1], &body, &file))
        return Refuse(res, 404, "not found");
      SetUncompressed(res, std::move(body), ContentType(file));
    };
  };
  const std::string linked = "(?:/k/[0-9a-f]{32})?";
  server.Get(linked + "/web/(.+)", serveFrom(&ServerFolders::web));
  server.Get(linked + "/98.css/(.+)", serveFrom(&ServerFolders::style));
  server.Get(linked + "/images/(.+)", serveFrom(&ServerFolders::images));
  server.Get(linked + "/help/(.+)", serveFrom(&ServerFolders::help));
  server.Get(linked + "/viewer/(.+)", [state](const httplib::Request& req, httplib::Response& res) {
    // The viewer runs on its own: its page may still be on its way.
    auto until = Clock::now() + kViewerPatience;
    std::string body;
    std::filesystem::path file;
    while (!ReadWorldServed(state->folders.world, state->folders.viewer, req.matches[1], &body,
                            &file)) {
      if (Clock::now() > until || state->bridge->Stopped())
        return Refuse(res, 404, "not found");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    res.set_header("Cache-Control", "no-store");
    // The viewer writes its pages in the form's own code page.
    bool html = file.extension() == ".html";
    SetUncompressed(res, std::move(body),
                    html ? "text/html; charset=windows-1252" : ContentType(file));
  });
  server.Post(linked + "/viewer/(.+)",
              [state](const httplib::Request& req, httplib::Response& res) {
                // Answers come from a page the viewer wrote, and from no other.
                std::string page;
                std::filesystem::path file;
                if (!state->folders.answer ||
                    !ReadWorldServed(state->folders.world, state->folders.viewer, req.matches[1],
                                     &page, &file) ||
                    !state->folders.answer(req.matches[1], req.body))
                  return Refuse(res, 404, "not found");
                // The page was written anew: the browser shows it again, as a new request.
                res.set_redirect(req.path, 303);
              });
  server.Get(linked + "/exports/(.+)",
             [state](const httplib::Request& req, httplib::Response& res) {
               std::string body;
               std::filesystem::path file;
               if (!ReadWorldServed(state->folders.world, state->folders.exports, req.matches[1],
                                    &body, &file))
                 return Refuse(res, 404, "not found");
               res.set_header("Cache-Control", "no-store");
               res.set_header("Content-Disposition",
                              "attachment; filename=\"" + file.filename().string() + "\"");
               SetUncompressed(res, std::move(body), "text/csv; charset=utf-8");
             });

  server.Get("/api/state", [state](const httplib::Request& req, httplib::Response& res) {
    // The version the page holds is also the one the answer's patch starts from.
    long long after = -1;
    if (!HeldVersion(req, "after", &after))
      return Refuse(res, 400, "after is no number");
    std::string published = state->bridge->StateAfter(after, kPollPatience);
    if (published.empty())
      return Refuse(res, 503, "the console is stopping");
    res.set_header("Cache-Control", "no-store");
    SetUncompressed(res, state->history.Answer(after, published), "application/json");
  });

  auto post = [state](bool console) {
    return [state, console](const httplib::Request& req, httplib::Response& res) {
      if (req.body.size() > kMaxBody)
        return Refuse(res, 413, "too large");
      // Nothing the page sends nests deeper than a few levels; a value nested thousands deep
      // would recurse as deep when it is copied or destroyed.
      if (qv::json::DeeperThan(req.body, kMaxJsonDepth) != std::string::npos)
        return Refuse(res, 400, "the body is nested too deep");
      nlohmann::json input = nlohmann::json::parse(req.body, nullptr, false);
      if (input.is_discarded())
        return Refuse(res, 400, "the body is no JSON");
      long long base = -1;
      if (!HeldVersion(req, "base", &base))
        return Refuse(res, 400, "base is no number");
      // A command may open a modal window and run its loop from inside the job: the answer
      // goes out at that loop's first wait, while the job still runs. What the job writes
      // lives on in the shared result after this request is answered; a refusal is known
      // before anything runs, so the answer carries it.
      struct Result {
        std::mutex mutex;
        bool ok = true;
        std::string why;
      };
      auto result = std::make_shared<Result>();
      std::string published = state->bridge->Run([state, console, input, result] {
        std::string why;
        bool ok = console ? state->command(input, &why) : PostInputJson(input, &why);
        std::lock_guard lock(result->mutex);
        result->ok = ok;
        result->why = why;
      });
      if (published.empty())
        return Refuse(res, 503, "the console is stopping");
      std::lock_guard lock(result->mutex);
      res.set_header("Cache-Control", "no-store");
      SetUncompressed(res, Answer(result->ok, result->why, state->history.Answer(base, published)),
                      "application/json");
    };
  };
  server.Post("/api/input", post(false));
  server.Post("/api/console", post(true));
}

ConsoleServer::~ConsoleServer() = default;

int ConsoleServer::Bind(int port, std::string* why) {
  int bound = port == 0 ? impl_->bind_to_any_port("127.0.0.1")
                        : (impl_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound < 0)
    *why = port == 0 ? "no free port" : "port " + std::to_string(port) + " is in use";
  impl_->port = bound;
  return bound;
}

void ConsoleServer::Listen() {
  impl_->listen_after_bind();
}

void ConsoleServer::Stop() {
  impl_->Halt();
}

std::string ConsoleServer::Link(const std::string& path) {
  return impl_->Link(path);
}

}  // namespace qv::console
