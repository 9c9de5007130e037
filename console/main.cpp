// qvconsole: the console that hosts the Form Designer and shows it in a browser.
//
//   qvconsole [--world DIR] [--port N]
//
// Opens the world (--world, else $QVCCFG_WORLD, else $HOME/.qvccfg/world), making the default
// world when there is none, installs the module built beside this program into it, hosts the
// plug-ins registered there and serves the page on 127.0.0.1. The port is --port, else
// $QVCCFG_PORT, else 8470, else a free one. The address to open, with this run's secret, is
// printed on a line of its own. Ctrl-C (or File, Exit) stops it: the control is destroyed as
// the console destroys it, so the view writes its settings, and everything held back is
// written. One console runs per world at a time.
//
// Exit status: 0 stopped normally; 1 the world could not be used or another console holds it;
// 2 bad arguments.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "console/BrowserBridge.h"
#include "console/ConsoleHost.h"
#include "console/ConsoleServer.h"
#include "console/SnapshotJson.h"
#include "platform/langrt/LangRt.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/Ui.h"
#include "platform/ui/Wnd.h"
#include "tools/common/DefaultWorld.h"
#include "tools/common/Install.h"
#include "tools/common/Programs.h"

namespace {

constexpr int kDefaultPort = 8470;
constexpr char kUsage[] = "usage: qvconsole [--world DIR] [--port N]\n";

// The folder of this program.
std::filesystem::path ProgramFolder() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *port = std::stoi(text);
  return *port >= 1 && *port <= 65535;
}

// Holds the world's console lock while it lives. Another console's lock: *why says whose.
// The lock file is written in place, so it is opened as the world's own (no link out of the
// world, no second name, not read-only).
class WorldLock {
 public:
  bool Take(const std::filesystem::path& world, std::string* why) {
    path_ = world / "console.lock";
    fd_ = qv::HostRoot(world.string()).OpenInPlace(path_.string(), O_RDWR | O_CREAT);
    if (fd_ < 0) {
      *why = "cannot open " + path_.string() + ": " + std::strerror(errno);
      return false;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      char text[256] = {};
      ssize_t n = pread(fd_, text, sizeof text - 1, 0);
      std::string who(text, n > 0 ? static_cast<std::size_t>(n) : 0);
      while (!who.empty() && who.back() == '\n')
        who.pop_back();
      *why = "another console is running for this world" + (who.empty() ? "" : " (" + who + ")");
      close(fd_);
      fd_ = -1;
      return false;
    }
    return true;
  }
  void Note(const std::string& text) {
    if (fd_ >= 0 && ftruncate(fd_, 0) == 0)
      (void)!pwrite(fd_, text.data(), text.size(), 0);
  }
  ~WorldLock() {
    if (fd_ >= 0) {
      (void)!ftruncate(fd_, 0);
      close(fd_);
    }
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

int Fail(const std::string& line, int status) {
  std::cerr << "qvconsole: " << line << "\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = qv::DefaultWorldDir();
  int port = 0;
  bool portGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--world" || arg == "--port") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--world") {
        dir = value;
      } else if (!ParsePort(value, &port)) {
        return Fail("the port must be a number from 1 to 65535", 2);
      } else {
        portGiven = true;
      }
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (!portGiven) {
    const char* env = std::getenv("QVCCFG_PORT");
    if (env != nullptr && *env != '\0' && !ParsePort(env, &port))
      return Fail("QVCCFG_PORT must be a number from 1 to 65535", 2);
    portGiven = env != nullptr && *env != '\0';
  }
  if (dir.empty())
    return Fail("the world folder name is empty", 2);

  // The world, made when missing, with the module just built installed and registered.
  std::string why;
  std::error_code ec;
  std::filesystem::path world = std::filesystem::absolute(dir, ec);
  if (ec)
    return Fail("cannot find the world folder " + qv::Printable(dir) + ": " + ec.message(), 1);
  if (!std::filesystem::exists(world / qv::World::kDescriptionFile, ec)) {
    if (!qv::MakeDefaultWorld(world.string(), &why))
      return Fail(qv::Printable(why), 1);
    std::cout << "made the default world in " << world.string() << "\n";
  }
  WorldLock lock;
  if (!lock.Take(world, &why))
    return Fail(why, 1);
  if (qv::OpenWorld(world.string(), &why) == nullptr)
    return Fail(qv::Printable(why), 1);
  HRESULT result = S_OK;
  if (!qv::InstallModule(&why, &result))
    return Fail("the Form Designer module was not installed: " + qv::Printable(why), 1);
  qv::FlushRegistry();

  // Ctrl-C and kill are taken by one thread of their own, never by the UI thread.
  // A shell starts a background job with SIGINT ignored, and an ignored signal never reaches
  // sigwait: both are taken back to their default first.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // Every connection the front door waits on holds a descriptor: as many as we may have.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  // The plug-ins are made before the browser is there: a message box of their start goes to
  // the terminal.
  std::filesystem::path programs = ProgramFolder();
  qv::console::BrowserBridge* wake = nullptr;  // set once the bridge is there
  auto host = std::make_unique<qv::console::ConsoleHost>(programs.string(), [&wake] {
    if (wake != nullptr)
      wake->Run([] {});  // the state is published anew after this empty job
  });
  if (!host->Problem().empty())
    std::cerr << "qvconsole: " << host->Problem() << "\n";

  qv::console::RowsText rowsText;
  // The pages the page opens in tabs of their own go behind capabilities of their own, made
  // once for each page (by its number) on the UI thread.
  qv::console::ConsoleServer* linker = nullptr;  // set once the server is there
  std::map<int, std::string> links;
  qv::console::BrowserBridge bridge([&] {
    nlohmann::json state;
    host->FollowShare();
    state["snapshot"] = qv::console::SnapshotToJson(qv::ui::TakeSnapshot(), &rowsText);
    state["console"] = host->State();
    for (nlohmann::json& page : state["console"]["open"]) {
      if (linker == nullptr || !page["url"].is_string() || !page["seq"].is_number_integer())
        continue;
      auto link = links.find(page["seq"].get<int>());
      if (link == links.end())
        link = links.emplace(page["seq"].get<int>(), linker->Link(page["url"])).first;
      page["url"] = link->second;
    }
    std::string text = state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    rowsText.Fill(&text);
    return text;
  });
  qv::ui::SetEventSource(&bridge);
  wake = &bridge;

  qv::console::ServerFolders folders;
  folders.web = (programs / "web").string();
  folders.style = (programs / "98.css").string();
  folders.images = (programs / "images").string();
  std::string helpPage = qv::HelpPage(qv::HelpFilePath(), 0);
  folders.help = helpPage.empty() ? "" : std::filesystem::path(helpPage).parent_path().string();
  folders.viewer = (world / "viewer").string();
  folders.exports = (world / "exports").string();
  folders.world = world.string();
  folders.answer = [programs, world](const std::string& page, const std::string& body) {
    return qv::console::AnswerOnClient(programs.string(), world.string(), page, body);
  };
  std::string secret = qv::console::NewSecret();
  qv::console::ConsoleServer server(
      &bridge,
      [&](const nlohmann::json& command, std::string* problem) {
        bool ok = host->Command(command, problem);
        if (host->ExitRequested())
          bridge.Stop();
        return ok;
      },
      folders, secret);
  linker = &server;
  int bound = server.Bind(portGiven ? port : kDefaultPort, &why);
  if (bound < 0 && !portGiven)
    bound = server.Bind(0, &why);
  if (bound < 0) {
    qv::ui::SetEventSource(nullptr);
    return Fail(why, 1);
  }
  lock.Note("process " + std::to_string(getpid()) +
            " at http://127.0.0.1:" + std::to_string(bound) + "/\n");
  std::thread serving([&] { server.Listen(); });
  std::thread stopping([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    bridge.Stop();
  });
  std::cout << "The console of " << world.string() << " runs; open it at:\n"
            << "http://127.0.0.1:" << bound << "/?s=" << secret << "\n"
            << "Stop it with Ctrl-C." << std::endl;

  qv::ui::RunMessageLoop();

  bridge.Stop();
  server.Stop();
  serving.join();
  // The signal thread waits for a signal that may never come now: give it one. The signal is
  // blocked and taken by sigwait, so it ends nothing.
  pthread_kill(stopping.native_handle(), SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
  stopping.join();
  qv::ui::SetEventSource(nullptr);
  host.reset();
  bool written = qv::FlushProfiles() && qv::FlushRegistry();
  std::cout << "The console stopped." << std::endl;
  return written ? 0 : 1;
}
