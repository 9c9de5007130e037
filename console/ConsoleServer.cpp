#include "console/ConsoleServer.h"

#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "console/InputJson.h"
#include "platform/path/HostFile.h"

namespace qv::console {
namespace {

// How long a page's poll for a newer state waits before it is answered with the same one.
constexpr auto kPollPatience = std::chrono::seconds(20);
// Threads that serve requests: more than the connections a browser keeps open to one host
// (six), for two tabs.
constexpr std::size_t kServerThreads = 16;
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

std::string CookieValue(const std::string& cookies, const std::string& name) {
  std::size_t at = 0;
  while (at < cookies.size()) {
    std::size_t end = cookies.find(';', at);
    std::string pair = cookies.substr(at, end == std::string::npos ? end : end - at);
    std::size_t start = pair.find_first_not_of(' ');
    if (start != std::string::npos && pair.compare(start, name.size() + 1, name + "=") == 0)
      return pair.substr(start + name.size() + 1);
    if (end == std::string::npos)
      break;
    at = end + 1;
  }
  return "";
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

// The answer to an input or a console command: whether it was taken, and the state after it.
std::string Answer(bool ok, const std::string& why, const std::string& state) {
  nlohmann::json head = {{"ok", ok}, {"problem", why}};
  std::string text = head.dump();
  if (state.size() > 2)
    text.replace(text.size() - 1, 1, "," + state.substr(1));
  return text;
}

}  // namespace

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
    : bridge_(bridge),
      command_(std::move(command)),
      folders_(std::move(folders)),
      secret_(std::move(secret)),
      server_(std::make_unique<httplib::Server>()) {
  httplib::Server& server = *server_;
  server.set_payload_max_length(kMaxBody);
  server.set_keep_alive_max_count(1000);
  server.set_read_timeout(5, 0);
  // A browser keeps several connections open, each holding a thread of the pool while it
  // waits for its next request, and one of them is always in a long poll: with the library's
  // few threads a new request would wait in the queue until an idle connection times out.
  server.set_keep_alive_timeout(2);
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    std::string given = req.get_param_value("s");
    if (given.empty())
      given = req.get_header_value("X-Console-Secret");
    if (!Allowed(req.get_header_value("Host"), req.get_header_value("Origin"), given,
                 req.get_header_value("Cookie"))) {
      Refuse(res, 403, "refused");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.body.size() > kMaxBody) {
      Refuse(res, 413, "too large");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::string body;
    std::filesystem::path file;
    if (!ReadServed(folders_.web, "index.html", &body, &file))
      return Refuse(res, 500, "the page is missing");
    res.set_header("Set-Cookie", "qvsecret" + std::to_string(port_) + "=" + secret_ +
                                     "; Path=/; HttpOnly; SameSite=Strict");
    res.set_header("Cache-Control", "no-store");
    SetUncompressed(res, std::move(body), ContentType(file));
  });

  auto serveFrom = [this](std::string ServerFolders::*folder) {
    return [this, folder](const httplib::Request& req, httplib::Response& res) {
      std::string body;
      std::filesystem::path file;
      if (!ReadServed(folders_.*folder, req.matches[1], &body, &file))
        return Refuse(res, 404, "not found");
      SetUncompressed(res, std::move(body), ContentType(file));
    };
  };
  server.Get("/web/(.+)", serveFrom(&ServerFolders::web));
  server.Get("/98.css/(.+)", serveFrom(&ServerFolders::style));
  server.Get("/images/(.+)", serveFrom(&ServerFolders::images));
  server.Get("/help/(.+)", serveFrom(&ServerFolders::help));
  server.Get("/viewer/(.+)", [this](const httplib::Request& req, httplib::Response& res) {
    // The viewer runs on its own: its page may still be on its way.
    auto until = std::chrono::steady_clock::now() + kViewerPatience;
    std::string body;
    std::filesystem::path file;
    while (!ReadWorldServed(folders_.world, folders_.viewer, req.matches[1], &body, &file)) {
      if (std::chrono::steady_clock::now() > until || bridge_->Stopped())
        return Refuse(res, 404, "not found");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    res.set_header("Cache-Control", "no-store");
    SetUncompressed(res, std::move(body), ContentType(file));
  });

  server.Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
    long long after = -1;
    std::string text = req.get_param_value("after");
    if (!text.empty()) {
      try {
        after = std::stoll(text);
      } catch (const std::exception&) {
        return Refuse(res, 400, "after is no number");
      }
    }
    std::string state = bridge_->StateAfter(after, kPollPatience);
    if (state.empty())
      return Refuse(res, 503, "the console is stopping");
    res.set_header("Cache-Control", "no-store");
    SetUncompressed(res, std::move(state), "application/json");
  });

  auto post = [this](bool console) {
    return [this, console](const httplib::Request& req, httplib::Response& res) {
      nlohmann::json input = nlohmann::json::parse(req.body, nullptr, false);
      if (input.is_discarded())
        return Refuse(res, 400, "the body is no JSON");
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
      std::string state = bridge_->Run([this, console, input, result] {
        std::string why;
        bool ok = console ? command_(input, &why) : PostInputJson(input, &why);
        std::lock_guard lock(result->mutex);
        result->ok = ok;
        result->why = why;
      });
      if (state.empty())
        return Refuse(res, 503, "the console is stopping");
      std::lock_guard lock(result->mutex);
      res.set_header("Cache-Control", "no-store");
      SetUncompressed(res, Answer(result->ok, result->why, state), "application/json");
    };
  };
  server.Post("/api/input", post(false));
  server.Post("/api/console", post(true));
}

ConsoleServer::~ConsoleServer() = default;

bool ConsoleServer::Allowed(const std::string& host, const std::string& origin,
                            const std::string& secret, const std::string& cookie) const {
  const std::string port = std::to_string(port_);
  if (host != "127.0.0.1:" + port && host != "localhost:" + port)
    return false;
  if (!origin.empty() && origin != "http://127.0.0.1:" + port &&
      origin != "http://localhost:" + port)
    return false;
  std::string given = secret.empty() ? CookieValue(cookie, "qvsecret" + port) : secret;
  return SameSecret(given, secret_);
}

int ConsoleServer::Bind(int port, std::string* why) {
  if (port == 0)
    port_ = server_->bind_to_any_port("127.0.0.1");
  else
    port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
  if (port_ < 0)
    *why = port == 0 ? "no free port" : "port " + std::to_string(port) + " is in use";
  return port_;
}

void ConsoleServer::Listen() {
  server_->listen_after_bind();
}

void ConsoleServer::Stop() {
  server_->stop();
}

}  // namespace qv::console
