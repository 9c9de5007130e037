// Puts one input in place of the group list file, loads it, saves it, and loads it again:
// the groups and their forms must come back as the first load saw them. Values are read as
// C strings, so a NUL in a line cuts the value there and may leave blanks or control bytes
// at its end; a value cut at the read limit may too. Such a name, and one that itself reads
// as quoted ('x' from ''x''), loses those bytes or quotes when read again, as any profile
// value does, so inputs holding one are only loaded and saved.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzWorld.h"
#include "groups/FormGroupList.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\FDGRPLST.GPS";

bool Trimmed(char c) {
  return c == ' ' || c == '\x1a' || (c >= '\t' && c <= '\r');
}

// True when the name would not read back as itself after being written.
bool Unstable(const std::string& name) {
  if (name.empty())
    return false;
  if (Trimmed(name.front()) || Trimmed(name.back()))
    return true;
  return name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0];
}

std::string Describe(CFormGroupList& list, bool* unstable) {
  std::string text;
  for (CFormGroup* group = list.GetFirstGroup(); group != nullptr; group = list.GetNextGroup()) {
    *unstable = *unstable || Unstable(group->GetGroupName());
    text += group->GetGroupName() + '\0';
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm()) {
      *unstable = *unstable || Unstable(entry->GetFormName());
      text += entry->GetFormName() + '\1';
    }
    text += '\2';
  }
  return text;
}

// The group list file's host path in the run's world.
std::string WorldFile() {
  static std::string host = [] {
    qv::fuzz::MakeWorld();
    return qv::fuzz::HostPath(kFile);
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
  bool unstable = false;
  {
    CFormGroupList list(kFile);
    first = Describe(list, &unstable);
    list.Save();
  }
  qv::FlushProfiles();
  CFormGroupList again(kFile);
  bool ignored = false;
  if (!unstable && Describe(again, &ignored) != first)
    __builtin_trap();
  return 0;
}
