// Puts one input in place of the group list file, loads it, saves it, and loads it again:
// the groups and their forms must come back as the first load saw them. A name that itself
// reads as quoted ('x' from ''x'') loses those quotes on the way, as profile values do, so
// such inputs are only loaded and saved.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "groups/FormGroupList.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tools/world/DefaultWorld.h"

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\FDGRPLST.GPS";

bool Quoted(const std::string& name) {
  return name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0];
}

std::string Describe(CFormGroupList& list, bool* quoted) {
  std::string text;
  for (CFormGroup* group = list.GetFirstGroup(); group != nullptr; group = list.GetNextGroup()) {
    *quoted = *quoted || Quoted(group->GetGroupName());
    text += group->GetGroupName() + '\0';
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm()) {
      *quoted = *quoted || Quoted(entry->GetFormName());
      text += entry->GetFormName() + '\1';
    }
    text += '\2';
  }
  return text;
}

// One world for the whole run, made in a temporary folder.
std::string WorldFile() {
  static std::string host = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz.XXXXXX").string();
    std::string why;
    if (mkdtemp(pattern.data()) == nullptr || qv::OpenOrMakeWorld(pattern, &why) == nullptr)
      __builtin_trap();
    std::string path;
    if (!qv::World::Current()->MapPath(kFile, &path, &why))
      __builtin_trap();
    return path;
  }();
  return host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string host = WorldFile();
  qv::ResetProfiles();
  if (!qv::WriteHostFileAtomic(host, std::string(reinterpret_cast<const char*>(data), size)))
    __builtin_trap();
  std::string first;
  bool quoted = false;
  {
    CFormGroupList list(kFile);
    first = Describe(list, &quoted);
    list.Save();
  }
  qv::FlushProfiles();
  CFormGroupList again(kFile);
  if (Describe(again, &quoted) != first && !quoted)
    __builtin_trap();
  return 0;
}
