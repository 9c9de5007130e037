#include <string>
#include <vector>

#include "tools/common/Programs.h"
#include "tools/frmtask/FrmTask.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int status = qv::RunFrmTask(args, &out, &err);
  return qv::WriteProgramOutput("FrmTask", out, err, status);
}
