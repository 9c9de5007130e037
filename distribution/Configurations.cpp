#include "distribution/Configurations.h"

#include <cstring>

#include "platform/text/CaseFold.h"

namespace {

constexpr std::size_t kMaxName = sizeof(TaskConfigRecord::name) - 1;

bool Fits(const char* name) {
  return name != nullptr && std::strlen(name) <= kMaxName;
}

// The record's name field up to its NUL (or its end, should a record lack one).
std::string_view NameOf(const char (&field)[256]) {
  return std::string_view(field, strnlen(field, sizeof field));
}

}  // namespace

int FindConfiguration(TaskConfigRecord* record, const char* name) {
  if (!Fits(name))
    return 0;
  LONG handle = FindFirstTaskConfiguration(kSnapinName, record);
  if (handle == -1)
    return 0;
  do {
    if (qv::EqualsNoCase(name, NameOf(record->name)))
      return 1;
  } while (FindNextTaskConfiguration(handle, record));
  return 0;
}

int IsScheduled(TaskConfigRecord* record, const char* name) {
  if (!FindConfiguration(record, name))
    return 0;
  TaskRecord task;
  std::memset(&task, 0, sizeof task);
  LONG handle = FindFirstTask(&task);
  if (handle == -1)
    return 0;
  do {
    if (qv::EqualsNoCase(name, NameOf(task.name)) && task.configurationId == record->id)
      return 1;
  } while (FindNextTask(handle, &task));
  return 0;
}
