#include "tools/fleet/Fleet.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/path/World.h"

namespace qv::fleet {
namespace {

// The callback the engine prints through: one JSON line per task result on a host, and one
// per host that cannot be reached. Loop items are summed up in their task's result.
const char kCallback[] = R"PY(from __future__ import annotations
import json
import sys
from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'stdout'
    CALLBACK_NAME = 'qv_events'

    def _emit(self, state, result):
        data = dict(result._result)
        data.pop('invocation', None)
        line = {'state': state, 'host': result._host.get_name(),
                'task': result._task.get_name(), 'data': data}
        sys.stdout.write(json.dumps(line, default=str) + '\n')
        sys.stdout.flush()

    def v2_runner_on_ok(self, result):
        self._emit('ok', result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._emit('failed', result)

    def v2_runner_on_skipped(self, result):
        self._emit('skipped', result)

    def v2_runner_on_unreachable(self, result):
        self._emit('unreachable', result)
)PY";

// The last task of every play: a host that reports it has run the whole play.
const char kEndTask[] = "qv end";

// A value for ssh's command line, which the engine splits as a shell would.
std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

// The engine's words for a result: its message, else the end of what the command wrote.
std::string Reason(const nlohmann::json& data) {
  for (const char* key : {"msg", "stderr", "module_stderr", "module_stdout"}) {
    auto found = data.find(key);
    if (found != data.end() && found->is_string() && !found->get<std::string>().empty()) {
      std::string text = found->get<std::string>();
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
      return text;
    }
  }
  return "the engine gave no reason";
}

// What an unreachable host's message means for the user.
std::string UnreachableReason(const nlohmann::json& data, const std::string& host) {
  // A loop's result sums its items up ("All items completed"); the item that did not reach
  // the host holds the words.
  auto items = data.find("results");
  if (items != data.end() && items->is_array()) {
    for (const nlohmann::json& item : *items) {
      if (item.is_object() && item.value("unreachable", false))
        return UnreachableReason(item, host);
    }
  }
  std::string text = Reason(data);
  if (text.find("REMOTE HOST IDENTIFICATION HAS CHANGED") != std::string::npos ||
      text.find("Host key verification failed") != std::string::npos)
    return "the host key of " + host +
           " has changed since it was recorded in the world's ssh_known_hosts; if the machine "
           "was rebuilt, remove its line there";
  return text;
}

// The last lines of a file, for a reason when the engine failed as a whole.
std::string Tail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qvfleet.XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Starts ansible-playbook with stdout on a pipe; -1 when it cannot be started.
pid_t StartEngine(const std::string& folder, int* readEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return -1;
  std::string config = folder + "/ansible.cfg";
  std::string errors = folder + "/stderr.log";
  pid_t pid = ::fork();
  if (pid == 0) {
    // The engine does not outlive the program that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(fds[1], 1);
    int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err >= 0)
      ::dup2(err, 2);
    ::setenv("ANSIBLE_CONFIG", config.c_str(), 1);
    ::setenv("ANSIBLE_NOCOLOR", "1", 1);
    ::setenv("ANSIBLE_NOCOWS", "1", 1);
    std::string inventory = folder + "/inventory.yml";
    std::string play = folder + "/play.yml";
    ::execlp("ansible-playbook", "ansible-playbook", "-i", inventory.c_str(), play.c_str(),
             static_cast<char*>(nullptr));
    std::fprintf(stderr, "ansible-playbook cannot be run: %s\n", std::strerror(errno));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return -1;
  }
  *readEnd = fds[0];
  return pid;
}

}  // namespace

bool CheckPlain(std::string_view text, std::string* why) {
  if (text.find_first_of("{}") == std::string_view::npos)
    return true;
  *why = "\"" + std::string(text) + "\" holds a brace, which is not sent to a remote client";
  return false;
}

std::string PatternRegex(std::string_view pattern) {
  std::string regex = "(?i)^";
  for (char c : pattern) {
    if (c == '*')
      regex += ".*";
    else if (c == '?')
      regex += '.';
    else if (std::strchr("\\.^$|()[]+", c) != nullptr)
      regex += std::string("\\") + c;
    else
      regex += c;
  }
  return regex + "$";
}

bool RunPlay(const World& world, const std::vector<std::string>& clients,
             const nlohmann::json& tasks, const Progress& progress,
             std::map<std::string, HostOutcome>* outcomes, std::string* why) {
  auto failAll = [&](const std::string& reason) {
    for (const std::string& client : clients)
      (*outcomes)[client] = HostOutcome{false, reason, {}};
    *why = reason;
    return false;
  };
  outcomes->clear();
  if (clients.empty())
    return true;
  TempFolder temp;
  if (temp.path().empty())
    return failAll(std::string("no folder for the engine's files: ") + std::strerror(errno));
  const std::string& folder = temp.path();

  nlohmann::json hosts = nlohmann::json::object();
  for (const std::string& client : clients) {
    const RemoteDrive* drive = world.RemoteDriveOf(client);
    if (drive == nullptr)
      return failAll(client + " is no remote client");
    hosts[client] = {{"ansible_host", drive->host},
                     {"ansible_port", drive->port},
                     {"ansible_user", drive->user},
                     {"qv_root", drive->folder == "/" ? "" : drive->folder}};
    (*outcomes)[client] = HostOutcome{false, "the engine ended before it reached this client", {}};
  }
  // The world's folder goes into ssh's options in single quotes.
  if (world.KnownHostsPath().find('\'') != std::string::npos ||
      world.SshIdentity().find('\'') != std::string::npos)
    return failAll("the world's folder or key holds a single quote, which ssh is not given");
  std::string sshArgs = "-o UserKnownHostsFile=" + Quoted(world.KnownHostsPath()) +
                        " -o StrictHostKeyChecking=accept-new -o BatchMode=yes";
  nlohmann::json vars = {{"ansible_ssh_common_args", sshArgs}};
  if (!world.SshIdentity().empty()) {
    vars["ansible_ssh_private_key_file"] = world.SshIdentity();
    vars["ansible_ssh_extra_args"] = "-o IdentitiesOnly=yes";
  }
  nlohmann::json inventory = {{"all", {{"hosts", hosts}, {"vars", vars}}}};

  nlohmann::json allTasks = tasks;
  allTasks.push_back({{"name", kEndTask}, {"ansible.builtin.debug", {{"msg", "end"}}}});
  nlohmann::json play = nlohmann::json::array(
      {{{"hosts", "all"}, {"gather_facts", false}, {"strategy", "free"}, {"tasks", allTasks}}});

  std::string config =
      "[defaults]\n"
      "stdout_callback = qv_events\n"
      "callback_plugins = " +
      folder +
      "/callbacks\n"
      "forks = " +
      std::to_string(world.Forks()) +
      "\n"
      "interpreter_python = auto_silent\n"
      "retry_files_enabled = False\n"
      "host_key_checking = True\n"
      "local_tmp = " +
      folder +
      "/local\n"
      "timeout = 10\n"
      "[ssh_connection]\n"
      "pipelining = True\n"
      "control_path_dir = " +
      folder + "/cp\n";
  std::error_code ec;
  std::filesystem::create_directory(folder + "/callbacks", ec);
  if (!WriteFile(folder + "/callbacks/qv_events.py", kCallback) ||
      !WriteFile(folder + "/ansible.cfg", config) ||
      !WriteFile(folder + "/inventory.yml", inventory.dump()) ||
      !WriteFile(folder + "/play.yml", play.dump()))
    return failAll(std::string("the engine's files cannot be written: ") + std::strerror(errno));

  int readEnd = -1;
  pid_t pid = StartEngine(folder, &readEnd);
  if (pid < 0)
    return failAll(std::string("ansible-playbook cannot be started: ") + std::strerror(errno));

  std::set<std::string> ended;
  auto end = [&](const std::string& host) {
    if (ended.insert(host).second && progress)
      progress(static_cast<int>(ended.size()), static_cast<int>(clients.size()));
  };
  std::string pending;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(readEnd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
      if (!event.is_object() || !event["host"].is_string() || !event["task"].is_string())
        continue;
      std::string host = event["host"].get<std::string>();
      auto outcome = outcomes->find(host);
      if (outcome == outcomes->end())
        continue;
      std::string state = event.value("state", "");
      std::string task = event["task"].get<std::string>();
      const nlohmann::json& data = event["data"];
      if (state == "unreachable") {
        outcome->second.reason = UnreachableReason(data, host);
        end(host);
      } else if (task == kEndTask) {
        outcome->second.reached = true;
        outcome->second.reason.clear();
        end(host);
      } else {
        outcome->second.tasks[task] =
            TaskResult{state, state == "failed" ? Reason(data) : "", data};
      }
    }
  }
  ::close(readEnd);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // 0: all went well; 2: some task failed; 4: some host was not reached. Anything else is the
  // engine failing as a whole (a bad play, a missing program).
  if (code != 0 && code != 2 && code != 4) {
    std::string tail = Tail(folder + "/stderr.log");
    std::string reason = "the engine failed (exit status " + std::to_string(code) + ")" +
                         (tail.empty() ? "" : ": " + tail);
    for (auto& [client, outcome] : *outcomes) {
      if (!outcome.reached && ended.count(client) == 0)
        outcome.reason = reason;
    }
    if (ended.empty()) {
      *why = reason;
      return false;
    }
  }
  return true;
}

}  // namespace qv::fleet
