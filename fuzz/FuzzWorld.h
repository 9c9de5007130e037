// The world a fuzz target runs in: the default world, made once per process in a temporary
// folder that is removed at exit. Traps when it cannot be made.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/path/World.h"
#include "tools/common/DefaultWorld.h"

namespace qv::fuzz {

inline std::string& WorldDir() {
  static std::string dir;
  return dir;
}

inline void RemoveWorld() {
  std::error_code ec;
  std::filesystem::remove_all(WorldDir(), ec);
}

// Makes the world on the first call; afterwards does nothing.
inline void MakeWorld() {
  static bool made = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz.XXXXXX").string();
    std::string why;
    if (mkdtemp(pattern.data()) == nullptr)
      __builtin_trap();
    WorldDir() = pattern;
    std::atexit(RemoveWorld);
    if (!qv::MakeDefaultWorld(pattern, &why) || qv::OpenWorld(pattern, &why) == nullptr)
      __builtin_trap();
    return true;
  }();
  (void)made;
}

// The host path of a Windows path of the world.
inline std::string HostPath(const std::string& winPath) {
  std::string host, why;
  if (!qv::World::Current()->MapPath(winPath, &host, &why))
    __builtin_trap();
  return host;
}

}  // namespace qv::fuzz
