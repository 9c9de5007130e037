// The console's HTTP face: the page, its assets and the JSON requests, on the loopback
// interface only.
//
// Every request must carry the run's secret: in the address of the first page (?s=...), after
// which a cookie holds it, or in the header X-Console-Secret. A request without it, one whose
// Host is not this console's address, one whose Origin is another site, and one whose body is
// over kMaxBody is refused before anything runs. Files are served only from the folders named
// here, by plain relative names that stay inside them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "console/BrowserBridge.h"

namespace httplib {
class Server;
}

namespace qv::console {

// Carries out one of the console's own commands on the UI thread; false with *why when it was
// refused.
using ConsoleCommand = std::function<bool(const nlohmann::json& command, std::string* why)>;

struct ServerFolders {
  std::string web;     // the page (console/web)
  std::string style;   // 98.css and its fonts
  std::string images;  // the module's images
  std::string help;    // the help pages of the user's language
  std::string viewer;  // the viewer's pages of the world, read as the world's files are:
  std::string world;   // a link out of this folder is never followed
};

inline constexpr std::size_t kMaxBody = 64 * 1024;

class ConsoleServer {
 public:
  ConsoleServer(BrowserBridge* bridge, ConsoleCommand command, ServerFolders folders,
                std::string secret);
  ~ConsoleServer();
  ConsoleServer(const ConsoleServer&) = delete;
  ConsoleServer& operator=(const ConsoleServer&) = delete;

  // Binds 127.0.0.1:port; port 0 takes a free one. The port bound, or -1 with *why.
  int Bind(int port, std::string* why);
  // Serves until Stop (call on a thread of its own).
  void Listen();
  void Stop();

 private:
  bool Allowed(const std::string& host, const std::string& origin, const std::string& secret,
               const std::string& cookie) const;

  BrowserBridge* bridge_;
  ConsoleCommand command_;
  ServerFolders folders_;
  std::string secret_;
  int port_ = -1;
  std::unique_ptr<httplib::Server> server_;
};

// A new secret: 32 hexadecimal digits from the system's random source.
std::string NewSecret();

}  // namespace qv::console
