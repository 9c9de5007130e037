#include "tools/qvccfg/RunCommand.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/path/World.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"

extern char** environ;

namespace qv {
namespace {

const char kSnapinName[] = "Execute Ini Script";
const char kExecutor[] = "FrmTask.exe";

// A temporary file that is removed with the object; its bytes are read back afterwards.
class Capture {
 public:
  Capture() : path_((std::filesystem::temp_directory_path() / "qvrun.XXXXXX").string()) {
    fd_ = ::mkstemp(path_.data());
  }
  ~Capture() {
    if (fd_ >= 0) {
      ::close(fd_);
      ::unlink(path_.c_str());
    }
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  int fd() const { return fd_; }
  std::string Bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace

int RunTaskCommand(const World& world, const std::string& utf8Name, std::string* out,
                   std::string* err) {
  std::string name;
  if (!json::Utf8ToCp1252(utf8Name, &name)) {
    *err = "qvccfg: the name cannot be written in the Windows-1252 character set\n";
    return 2;
  }
  TaskConfigRecord config;
  std::memset(&config, 0, sizeof config);
  LONG handle = FindFirstTaskConfiguration(kSnapinName, &config);
  if (std::string problem = TaskLibraryProblem(); !problem.empty()) {
    *err = "qvccfg: " + Printable(problem) + "\n";
    return 2;
  }
  std::string configName, script;
  for (BOOL more = handle != -1; more; more = FindNextTaskConfiguration(handle, &config)) {
    std::string candidate(config.name, strnlen(config.name, sizeof config.name));
    if (!EqualsNoCase(candidate, name))
      continue;
    // The first configuration of the name is the one the view schedules and finds.
    const char* data = static_cast<const char*>(TaskDataAddress(config.data));
    configName = candidate;
    if (data != nullptr)
      script.assign(data, strnlen(data, config.dataLength));
    break;
  }
  if (configName.empty()) {
    *err =
        "qvccfg: no task configuration \"" + Printable(utf8Name) + "\" in the console database\n";
    return 2;
  }
  if (script.empty()) {
    *err = "qvccfg: the configuration \"" + Printable(utf8Name) + "\" names no script\n";
    return 2;
  }

  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::string program = (self.parent_path() / kExecutor).string();
  std::vector<std::string> args = {program, "--world", world.Dir(), "--task", configName, script};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  Capture stdoutCapture, stderrCapture;
  if (ec || stdoutCapture.fd() < 0 || stderrCapture.fd() < 0) {
    *err = "qvccfg: cannot start " + std::string(kExecutor) + "\n";
    return 2;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, stdoutCapture.fd(), 1);
  posix_spawn_file_actions_adddup2(&actions, stderrCapture.fd(), 2);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    *err = "qvccfg: cannot start " + Printable(program) + ": " + std::strerror(spawned) + "\n";
    return 2;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  *out += stdoutCapture.Bytes();
  *err += stderrCapture.Bytes();
  if (!WIFEXITED(status)) {
    *err += "qvccfg: " + std::string(kExecutor) + " did not end by itself\n";
    return 2;
  }
  return WEXITSTATUS(status);
}

}  // namespace qv
