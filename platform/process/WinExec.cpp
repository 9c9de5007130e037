#include "platform/process/WinExec.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path/World.h"
#include "platform/profile/Profile.h"

extern char** environ;

namespace qv {
namespace {

constexpr UINT kOutOfResources = 0;
constexpr UINT kFileNotFound = 2;
constexpr UINT kPathNotFound = 3;
constexpr UINT kBadFormat = 11;

constexpr char kWorldVariable[] = "QVCCFG_WORLD=";

WinExecRecord g_last;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Splits a command line into the program and what the program gets as its arguments.
void SplitCommandLine(std::string_view line, std::string* program, std::string* rest) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start]))
    ++start;
  line.remove_prefix(start);
  size_t next = 0;
  if (!line.empty() && line.front() == '"') {
    // A quoted program may hold blanks; an unclosed quote runs to the end of the line.
    size_t close = line.find('"', 1);
    *program = std::string(line.substr(1, close == std::string_view::npos ? close : close - 1));
    next = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    next = std::min(line.find_first_of(" \t"), line.size());
    *program = std::string(line.substr(0, next));
  }
  while (next < line.size() && IsBlank(line[next]))
    ++next;
  *rest = std::string(line.substr(next));
}

// The result for an errno of fork or execve.
UINT ResultOfErrno(int error) {
  switch (error) {
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
      return kOutOfResources;
    case ENOENT:  // the file went away, or its "#!" interpreter is missing
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kPathNotFound;
    default:  // EACCES, ENOEXEC, ETXTBSY, EISDIR, ...: the file cannot be run as a program
      return kBadFormat;
  }
}

// Checks the host file before anything is started, so the common failures need no process.
UINT CheckProgram(const std::string& host) {
  struct stat st {};
  std::string folder = std::filesystem::path(host).parent_path().string();
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return kPathNotFound;
  if (::lstat(host.c_str(), &st) != 0)
    return errno == ENOENT ? kFileNotFound : ResultOfErrno(errno);
  if (!S_ISREG(st.st_mode) || (st.st_mode & 0111) == 0)
    return kBadFormat;
  return kWinExecStarted;
}

// Reads what a child wrote into the error pipe: 0 when the pipe closed empty (the program's
// exec closed it), else the errno that was written.
int ReadChildError(int fd) {
  int error = 0;
  ssize_t got;
  do {
    got = ::read(fd, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// Runs in the grandchild after fork: only async-signal-safe calls from here on, as the
// caller's other threads (if any) may hold locks that were copied in a locked state.
[[noreturn]] void ExecProgram(const char* host, char* const* argv, char* const* envp, int nullFd,
                              int errorFd, int maxFd) {
  ::setsid();  // a Ctrl-C at the console does not reach the program it started
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig)
    ::sigaction(sig, &dfl, nullptr);  // ignored signals would stay ignored across execve
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::dup2(nullFd, STDIN_FILENO);
  // The caller's open files (cached profiles, watches, sockets) are none of the program's
  // business: every descriptor above stderr closes at execve, the error pipe included.
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd < maxFd; ++fd)
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  ::execve(host, argv, envp);
  int error = errno;
  ssize_t ignored = ::write(errorFd, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}

// Starts the host program as a grandchild and reaps the child in between. Everything the
// children need is made before the first fork, so they allocate nothing.
UINT Spawn(const std::string& host, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  std::string worldVariable = std::string(kWorldVariable) + World::Current()->Dir();
  std::vector<char*> envp;
  for (char** env = environ; env != nullptr && *env != nullptr; ++env) {
    if (std::string_view(*env).rfind(kWorldVariable, 0) != 0)
      envp.push_back(*env);
  }
  envp.push_back(worldVariable.data());
  envp.push_back(nullptr);

  long openMax = ::sysconf(_SC_OPEN_MAX);
  int maxFd = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;
  int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nullFd < 0)
    return ResultOfErrno(errno);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    int error = errno;
    ::close(nullFd);
    return ResultOfErrno(error);
  }

  pid_t child = ::fork();
  if (child == 0) {
    pid_t grandchild = ::fork();
    if (grandchild == 0)
      ExecProgram(host.c_str(), argv.data(), envp.data(), nullFd, pipeFds[1], maxFd);
    if (grandchild < 0) {
      int error = errno;
      ssize_t ignored = ::write(pipeFds[1], &error, sizeof error);
      (void)ignored;
    }
    ::_exit(0);  // the grandchild now belongs to init, which reaps it
  }
  int forkError = child < 0 ? errno : 0;
  ::close(pipeFds[1]);
  ::close(nullFd);
  if (child > 0) {
    // Waiting by pid leaves every other child of the caller alone. ECHILD (SIGCHLD set to
    // SIG_IGN by the caller, so the child was reaped already) needs nothing more.
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  int error = child > 0 ? ReadChildError(pipeFds[0]) : forkError;
  ::close(pipeFds[0]);
  return error == 0 ? kWinExecStarted : ResultOfErrno(error);
}

UINT Run(const char* cmdLine, std::string* hostOut) {
  std::string program, rest;
  SplitCommandLine(cmdLine != nullptr ? cmdLine : "", &program, &rest);
  if (program.empty())
    return kFileNotFound;
  // Windows would look for a bare name along its search path; this world has none.
  if (program.find_first_of("\\:") == std::string::npos)
    return kFileNotFound;
  std::string path = program;
  std::string_view name = std::string_view(path).substr(path.find_last_of('\\') + 1);
  if (name.find('.') == std::string_view::npos)
    path += ".exe";
  World* world = World::Current();
  std::string host, why;
  if (world == nullptr || !world->MapPath(path, &host, &why))
    return kPathNotFound;
  *hostOut = host;
  if (UINT checked = CheckProgram(host); checked != kWinExecStarted)
    return checked;
  std::vector<std::string> args = {program};
  if (!rest.empty())
    args.push_back(rest);
  return Spawn(host, args);
}

}  // namespace

const WinExecRecord& LastWinExec() {
  return g_last;
}

}  // namespace qv

UINT WinExec(const char* cmdLine, UINT /*show*/) {
  // The program may read any file this process wrote through the profile cache.
  qv::FlushProfiles();
  qv::WinExecRecord record;
  record.commandLine = cmdLine != nullptr ? cmdLine : "";
  record.result = qv::Run(cmdLine, &record.hostProgram);
  record.count = qv::g_last.count + 1;
  qv::g_last = record;
  return record.result;
}
