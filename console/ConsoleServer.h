// The console's HTTP face: the page, its assets and the JSON requests, on the loopback
// interface only.
//
// Every request must carry a credential the browser never sends by itself: the run's secret in
// the header X-Console-Secret (the page's requests), in the address of the page itself
// (/?s=...), or a capability: a random token in the path (/k/<token>/...) that opens one
// resource or one folder and nothing else, for what the browser fetches or opens without the
// page's help (the page's own files, a help or viewer page in a tab of its own). No cookie is
// set: the browser would send it to every port of 127.0.0.1.
//
// A front door of its own reads each request whole before a worker sees it: one deadline for
// the whole request, the header checked as soon as it is complete (Host must be this console's
// address, an Origin this console's, a credential given), a body of at most kMaxBody bytes
// given by Content-Length, neither chunked nor encoded. What fails is answered by the door and
// closed; the workers only serve requests that carry a credential, so a client without one can
// neither hold a worker nor keep the user out by trickling bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "console/BrowserBridge.h"

namespace qv::console {

// Carries out one of the console's own commands on the UI thread; false with *why when it was
// refused.
using ConsoleCommand = std::function<bool(const nlohmann::json& command, std::string* why)>;

struct ServerFolders {
  std::string web;      // the page (console/web)
  std::string style;    // 98.css and its fonts
  std::string images;   // the module's images
  std::string help;     // the help pages of the user's language
  std::string viewer;   // the viewer's pages of the world, read as the world's files are:
  std::string exports;  // (and the world's exports, the Answers window's CSV files)
  std::string world;    // a link out of this folder is never followed
  // Finish on a viewer page that takes answers, "<CLIENT>/<file name>.html", with the form
  // body; false when the page takes none. Null: no page takes answers.
  std::function<bool(const std::string& page, const std::string& body)> answer;
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

  // The address of a help page (/help/<name>: the help folder) or a viewer's page
  // (/viewer/<name>: that page only) for a tab of its own, behind a new capability that must
  // be used within a minute and lapses when it has not been used for ten.
  std::string Link(const std::string& path);

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A new secret: 32 hexadecimal digits from the system's random source.
std::string NewSecret();

}  // namespace qv::console
