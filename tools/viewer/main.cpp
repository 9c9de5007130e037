#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/Programs.h"
#include "tools/viewer/ClientViewer.h"
#include "tools/viewer/Viewer.h"

namespace {

// A form's answers are a few kilobytes; more than this is not a form's.
constexpr std::size_t kMaxAnswers = 1024 * 1024;

// The answers of /f, from stdin.
bool ReadAnswers(std::string* body) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 || body->size() + static_cast<std::size_t>(n) > kMaxAnswers)
      return false;
    if (n == 0)
      return true;
    body->append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (qv::IsClientMode(args))
    return qv::RunClientViewer(args, std::cin, std::cout, std::cerr);
  std::string out, err;
  int status = qv::RunViewer(args, &out, &err, ReadAnswers);
  return qv::WriteProgramOutput("QVCstm32", out, err, status);
}
