// Runs one of our programs, built beside the test binary, as a child process: for what only a
// real process shows (exit status, an unwritable output, a working folder gone, endless input).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

struct ChildRun {
  std::vector<std::string> args = {};
  std::string stdoutPath = "/dev/null";  // where the child's standard output goes
  std::string cwd = "";                  // the child's working folder ("": the test's own)
  bool removeCwd = false;                // remove cwd once the child is in it
  int timeoutSeconds = 20;               // then the child is killed
  long memoryLimitMb = 0;                // address space the child may use (0: no limit)
};

struct ChildResult {
  int status = -1;  // exit status; -1 when killed or not started
  bool timedOut = false;
  long maxRssKb = 0;  // the most memory the child held
  std::string err;    // everything the child wrote to standard error
};

inline ChildResult RunChild(const std::string& program, const ChildRun& run) {
  namespace fs = std::filesystem;
  ChildResult result;
  std::string path = (fs::read_symlink("/proc/self/exe").parent_path() / program).string();
  std::string errPattern = (fs::temp_directory_path() / "qvchild.XXXXXX").string();
  int errFd = mkstemp(errPattern.data());
  if (errFd < 0)
    return result;
  std::vector<char*> argv = {path.data()};
  std::vector<std::string> args = run.args;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {  // only async-signal-safe calls from here on
    int outFd = open(run.stdoutPath.c_str(), O_WRONLY);
    if (outFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
      _exit(120);
    if (run.memoryLimitMb > 0) {
      rlimit limit{};
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(run.memoryLimitMb) << 20;
      setrlimit(RLIMIT_AS, &limit);
    }
    if (!run.cwd.empty() &&
        (chdir(run.cwd.c_str()) != 0 || (run.removeCwd && rmdir(run.cwd.c_str()) != 0))) {
      _exit(121);
    }
    execv(path.c_str(), argv.data());
    _exit(122);
  }
  close(errFd);
  if (pid > 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run.timeoutSeconds);
    int wstatus = 0;
    rusage usage{};
    while (wait4(pid, &wstatus, WNOHANG, &usage) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        wait4(pid, &wstatus, 0, &usage);
        result.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.maxRssKb = usage.ru_maxrss;
    if (!result.timedOut && WIFEXITED(wstatus))
      result.status = WEXITSTATUS(wstatus);
  }
  std::ifstream in(errPattern, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(errPattern);
  return result;
}
