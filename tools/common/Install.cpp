#include "tools/common/Install.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/com/Creation.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// The folders that go with the module, relative to its own.
const char* const kModuleFolders[] = {"languages", "help"};

// Copies a file of the build into the world, through the world's door.
bool CopyFile(const World& world, const fs::path& from, const fs::path& to, std::string* why) {
  std::string bytes;
  if (!ReadHostFile(from.string(), &bytes) ||
      !world.Root().MakeFolders(to.parent_path().string()) ||
      !world.Root().Write(to.string(), bytes) ||
      ::fchmodat(AT_FDCWD, to.c_str(), 0755, AT_SYMLINK_NOFOLLOW) != 0) {
    *why = "cannot copy " + from.string() + " to " + to.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::string BuiltModulePath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return "";
  fs::path module = self.parent_path() / kModuleName;
  return fs::is_regular_file(module, ec) ? module.string() : "";
}

bool InstallModule(std::string* why, HRESULT* result) {
  *result = S_OK;
  World* world = World::Current();
  std::string built = BuiltModulePath();
  if (world == nullptr || built.empty()) {
    *why = world == nullptr ? "there is no world"
                            : std::string(kModuleName) + " was not built beside this program";
    return false;
  }
  std::string folder;
  if (!world->MapPath(kConsoleProgramFolder, &folder, why))
    return false;
  fs::path source = fs::path(built).parent_path();
  fs::path target(folder);
  if (!CopyFile(*world, built, target / kModuleName, why))
    return false;
  std::error_code ec;
  for (const char* name : kModuleFolders) {
    for (fs::recursive_directory_iterator it(source / name, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (it->is_regular_file(ec) &&
          !CopyFile(*world, it->path(), target / fs::relative(it->path(), source, ec), why))
        return false;
    }
    ec.clear();  // a folder that was not built is left out
  }
  using Entry = HRESULT (*)();
  auto registerServer = reinterpret_cast<Entry>(
      com::ModuleEntry((target / kModuleName).string(), "DllRegisterServer", why));
  if (registerServer == nullptr)
    return false;
  *result = registerServer();
  if (FAILED(*result)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(*result));
    *why = std::string(kModuleName) + " could not register itself (" + code + ")";
    return false;
  }
  return true;
}

}  // namespace qv
