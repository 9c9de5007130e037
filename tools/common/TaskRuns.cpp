#include "tools/common/TaskRuns.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"
#include "tools/common/Json.h"

namespace qv {
namespace {

// Closes the descriptor (and with it the lock) on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool Fail(std::string* why, const std::string& what) {
  *why = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::string TaskRunsPath(const std::string& worldDir) {
  return worldDir + "/" + kTaskRunsFile;
}

std::string TaskRunLine(const ClientRun& run) {
  json::Value lines = json::Array{};
  for (const RunLine& line : run.lines) {
    lines.push_back(json::Object{{"key", json::Cp1252ToUtf8(line.key)},
                                 {"value", json::Cp1252ToUtf8(line.value)},
                                 {"result", json::Cp1252ToUtf8(line.result)}});
  }
  json::Value record = json::Object{{"time", run.time},
                                    {"task", json::Cp1252ToUtf8(run.task)},
                                    {"script", json::Cp1252ToUtf8(run.script)},
                                    {"client", json::Cp1252ToUtf8(run.client)},
                                    {"ok", run.ok},
                                    {"lines", lines}};
  if (!run.reached) {
    record["reached"] = false;
    record["reason"] = json::Cp1252ToUtf8(run.reason);
  }
  return json::Write(record, false);
}

bool ParseTaskRunLine(const std::string& line, ClientRun* run) {
  json::Value value;
  if (!json::Parse(line, &value, nullptr) || !value.is_object())
    return false;
  // Members this reader does not know are left alone: a later writer may add some.
  ClientRun parsed;
  const json::Value* time = json::Find(value, "time");
  if (time == nullptr || !json::GetInteger(*time, INT64_MIN / 2, INT64_MAX / 2, &parsed.time))
    return false;
  json::ObjectReader reader(value, "");
  reader.Text("task", &parsed.task);
  reader.Text("script", &parsed.script);
  reader.Text("client", &parsed.client);
  reader.Bool("ok", &parsed.ok);
  reader.Bool("reached", &parsed.reached, json::ObjectReader::Need::kOptional);
  reader.Text("reason", &parsed.reason, json::ObjectReader::Need::kOptional);
  const json::Value* lines = reader.ArrayMember("lines");
  if (!reader.ok() || !lines->is_array())
    return false;
  for (const json::Value& item : *lines) {
    RunLine runLine;
    json::ObjectReader lineReader(item, "");
    lineReader.Text("key", &runLine.key);
    lineReader.Text("value", &runLine.value);
    lineReader.Text("result", &runLine.result);
    if (!lineReader.ok())
      return false;
    parsed.lines.push_back(std::move(runLine));
  }
  *run = std::move(parsed);
  return true;
}

bool AppendTaskRun(const std::string& worldDir, const ClientRun& run, std::string* why) {
  return AppendTaskRuns(worldDir, {run}, why);
}

bool AppendTaskRuns(const std::string& worldDir, const std::vector<ClientRun>& runs,
                    std::string* why) {
  if (runs.empty())
    return true;
  std::string path = TaskRunsPath(worldDir);
  std::string folder = std::filesystem::path(path).parent_path().string();
  // The record file is the world's and is written in place: a link that leads it (or its
  // folder) elsewhere, or a second name of it, is never written through.
  HostRoot root(worldDir);
  if (!root.MakeFolders(folder))
    return Fail(why, "cannot make " + folder);
  Fd fd(root.OpenInPlace(path, O_RDWR | O_APPEND | O_CREAT));
  if (fd.get() < 0)
    return Fail(why, "cannot open " + path);
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR)
      return Fail(why, "cannot lock " + path);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0)
    return Fail(why, "cannot look at " + path);
  std::string bytes;
  for (const ClientRun& run : runs)
    bytes += TaskRunLine(run) + "\n";
  // A line a crash cut short gets its end, so that it stays a line of its own that no reader
  // takes for a record, and the new record is not glued to it.
  char last = '\n';
  if (st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) != 1)
    return Fail(why, "cannot read " + path);
  if (last != '\n')
    bytes.insert(bytes.begin(), '\n');
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      int error = n < 0 ? errno : EIO;
      // What got out is taken back; the lock keeps every other writer off meanwhile.
      bool cut = ::ftruncate(fd.get(), st.st_size) == 0;
      errno = error;
      Fail(why, "cannot write " + path);
      if (!cut)
        *why += "; a part of the record is left in it";
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0)
    return Fail(why, "cannot write " + path);
  return true;
}

std::vector<ClientRun> ReadTaskRuns(const std::string& worldDir, const std::string& task) {
  std::vector<ClientRun> runs;
  std::string bytes;
  if (!HostRoot(worldDir).Read(TaskRunsPath(worldDir), &bytes))
    return runs;
  for (std::size_t pos = 0;;) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string::npos)
      break;  // a line still being written, or one a crash cut short
    ClientRun run;
    if (ParseTaskRunLine(bytes.substr(pos, end - pos), &run) &&
        (task.empty() || EqualsNoCase(run.task, task)))
      runs.push_back(std::move(run));
    pos = end + 1;
  }
  return runs;
}

}  // namespace qv
