// The least a listing of the forms share must do, as a whole process: open every ".FRM" file
// of a folder, read its bytes once, close it. bench/list_bench.py times it beside qvccfg.
//
// usage: raw_read FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: raw_read FOLDER\n", stderr);
    return 2;
  }
  DIR* dir = ::opendir(argv[1]);
  if (dir == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  static char buffer[1 << 16];
  unsigned long long total = 0;
  while (dirent* entry = ::readdir(dir)) {
    std::size_t n = std::strlen(entry->d_name);
    if (n < 4 || ::strcasecmp(entry->d_name + n - 4, ".frm") != 0)
      continue;
    int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
      continue;
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
      total += static_cast<unsigned long long>(got);
    ::close(fd);
  }
  ::closedir(dir);
  std::printf("%llu bytes\n", total);
  return 0;
}
