#include <string>
#include <vector>

#include "tools/common/Programs.h"
#include "tools/viewer/Viewer.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int status = qv::RunViewer(args, &out, &err);
  return qv::WriteProgramOutput("QVCstm32", out, err, status);
}
