#include <string>
#include <vector>

#include "tools/common/Programs.h"
#include "tools/qvccfg/Commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int status = qv::RunQvccfg(args, &out, &err);
  return qv::WriteProgramOutput("qvccfg", out, err, status);
}
