#include "tools/common/Programs.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/file/FileApi.h"
#include "platform/path/World.h"

namespace qv {
namespace {

// The length of the well-formed UTF-8 sequence of a printable character at text[i]; 0 for a
// control character (C0, DEL, C1) or a byte that does not start such a sequence.
std::size_t PrintableLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  unsigned lead = byte(0);
  if (lead < 0x80)
    return lead >= 0x20 && lead != 0x7F ? 1 : 0;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80)
      return 0;
  }
  unsigned second = byte(1);
  bool bad = (lead == 0xC2 && second < 0xA0) ||   // C1 control characters
             (lead == 0xE0 && second < 0xA0) ||   // overlong
             (lead == 0xED && second >= 0xA0) ||  // surrogates
             (lead == 0xF0 && second < 0x90) ||   // overlong
             (lead == 0xF4 && second >= 0x90);    // beyond U+10FFFF
  return bad ? 0 : length;
}

// Writes all of `bytes` to the file descriptor; false with errno's value in *error.
bool WriteAll(int fd, const std::string& bytes, int* error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string Printable(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (std::size_t length = PrintableLength(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    unsigned char u = static_cast<unsigned char>(text[i++]);
    out += "\\x";
    out += kHex[u >> 4];
    out += kHex[u & 0x0F];
  }
  return out;
}

int WriteProgramOutput(const std::string& program, const std::string& out, const std::string& err,
                       int status) {
  std::string errors = err;
  int error = 0;
  if (!WriteAll(STDOUT_FILENO, out, &error)) {
    errors += program + ": cannot write to standard output: " + std::strerror(error) + "\n";
    if (status == 0)
      status = 1;
  }
  WriteAll(STDERR_FILENO, errors, &error);
  return status;
}

std::string DefaultWorldDir() {
  if (const char* env = std::getenv("QVCCFG_WORLD"); env != nullptr && *env != '\0')
    return env;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.qvccfg/world";
}

bool IsWindowsPath(const std::string& path) {
  return path.rfind("\\\\", 0) == 0 || (path.size() >= 2 && path[1] == ':');
}

bool FormPath(const World& world, const std::string& file, std::string* win, std::string* err,
              const std::string& program) {
  auto fail = [&](const std::string& line) {
    *err = program + ": " + line + "\n";
    return false;
  };
  if (file.empty())
    return fail("the file name is empty");
  if (IsWindowsPath(file)) {
    *win = file;
  } else {
    std::error_code ec;
    std::filesystem::path host = std::filesystem::absolute(file, ec);
    if (ec)
      return fail("cannot find " + Printable(file) + ": " + ec.message());
    if (!world.HostToWindows(host.string(), win))
      return fail(Printable(file) + " is not inside the world " + Printable(world.Dir()));
  }
  std::string host, why;
  if (!world.MapPath(*win, &host, &why))
    return fail(Printable(*win) + " is refused: " + Printable(why));
  if (!WinFileExists(win->c_str()))
    return fail(Printable(*win) + ": the file was not found");
  return true;
}

std::string TakeWorldOption(std::vector<std::string>* args) {
  std::string dir = DefaultWorldDir();
  if (args->size() >= 2 && (*args)[0] == "--world") {
    dir = (*args)[1];
    args->erase(args->begin(), args->begin() + 2);
  }
  if (args->size() >= 3 && (*args)[args->size() - 2] == "--world") {
    dir = args->back();
    args->resize(args->size() - 2);
  }
  return dir;
}

}  // namespace qv
