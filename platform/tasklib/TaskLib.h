// The console's task library (JOBLINK): snap-ins, task configurations and tasks, kept in the
// console database of the current world, and the core server's name.
//
// Records keep the byte layout the console and the clipboard format rely on. The 32-bit data
// field of a configuration cannot hold a pointer on a 64-bit host: it holds a data handle
// instead. A caller that adds a configuration registers its data buffer with
// RegisterTaskData and puts the handle in the field; a record filled by the find functions
// carries a handle to the library's copy of that configuration's data, valid until the next
// find call. TaskDataAddress turns a handle back into an address. Handle 0 is no data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/HandleTable.h"
#include "platform/base/wintypes.h"

struct TaskConfigRecord {
  std::int32_t id;  // -1 in a record to be added
  std::int32_t snapinId;
  char name[256];            // NUL-terminated
  std::uint32_t data;        // data handle (see above)
  std::uint32_t dataLength;  // bytes, no terminating NUL counted
};
static_assert(sizeof(TaskConfigRecord) == 272);
static_assert(offsetof(TaskConfigRecord, snapinId) == 4);
static_assert(offsetof(TaskConfigRecord, name) == 8);
static_assert(offsetof(TaskConfigRecord, data) == 264);
static_assert(offsetof(TaskConfigRecord, dataLength) == 268);

struct TaskRecord {
  std::int32_t id;               // the library's own task id
  char name[256];                // NUL-terminated
  std::int32_t configurationId;  // the configuration the task runs
  unsigned char reserved[44];    // zero in a record built by the system
};
static_assert(sizeof(TaskRecord) == 308);
static_assert(offsetof(TaskRecord, name) == 4);
static_assert(offsetof(TaskRecord, configurationId) == 260);

struct SnapinRecord {
  std::int32_t id;
  char name[256];
  char program[256];
  char parameters[256];
};
static_assert(sizeof(SnapinRecord) == 772);

// Non-zero when buffer (of `size` characters) now holds the core server's name.
BOOL GetCoreServerName(char* buffer, DWORD size);

// The console hands its database pointer over once before every call below, and takes it
// back with FreeDatabasePtr. Without a pointer the calls below fail (0, or -1 for handles).
BOOL SetDatabasePtr(void* database);
void FreeDatabasePtr();

BOOL FindSnapin(const char* name, SnapinRecord* record);
BOOL RegisterTaskSnapin(const char* name, const char* program, const char* parameters);

// Search handles: -1 when there is nothing to find. They are never closed by the caller.
LONG FindFirstTaskConfiguration(const char* snapinName, TaskConfigRecord* record);
BOOL FindNextTaskConfiguration(LONG handle, TaskConfigRecord* record);
LONG FindFirstTask(TaskRecord* record);
BOOL FindNextTask(LONG handle, TaskRecord* record);

// Adds the configuration (its id must be -1; its data handle must be registered) and puts the
// new id into the record. Names must hold a NUL within their fields.
BOOL AddTaskConfiguration(TaskConfigRecord* record);
BOOL DeleteTaskConfiguration(LONG id);

namespace qv {

// The 32-bit values that stand for addresses between a console and its control (their
// "long" parameters cannot hold a 64-bit address): the console registers its database
// object and passes the handle as the database pointer; the control registers the task
// record it hands over.
qv::com::HandleTable<void>& DatabaseHandles();
qv::com::HandleTable<TaskRecord>& TaskRecordHandles();

// Why the last call refused the console database: "the console database <host path>: <what is
// wrong>" when the file is damaged, unreadable or not a regular file; empty when the file was
// sound (or missing, which is an empty database) at the last call that read it.
std::string TaskLibraryProblem();

std::uint32_t RegisterTaskData(const void* buffer);
const void* TaskDataAddress(std::uint32_t handle);

// The console's side of scheduling: records a task that runs a configuration. Returns the new
// task's id, or -1 when the configuration does not exist or the name does not fit.
LONG AddTask(const char* name, LONG configurationId);
BOOL DeleteTask(LONG taskId);

}  // namespace qv
