// The task library over a console database file in the current world.
//
// The database file is text, one record a line, each line ended by "\n":
//
//   qvnx-console-database 1
//   next 6
//   snapin 1 "Execute Ini Script" "FrmTask.exe" ""
//   config 2 1 "Asset" 9 "Asset.ini"
//   task 5 "Asset" 2
//
// The first line names the format and its version; the second holds the next id to hand out.
// Then come the snap-ins (id, name, program, parameters), the configurations (id, snap-in id,
// name, data length, data) and the tasks (id, name, id of the configuration it runs), each
// kind in id order. Fields are separated by one blank. Ids are decimal, positive, unique over
// all records, below the next id, and never handed out twice. Strings are in double quotes;
// inside them a byte from 0x20 to 0x7E stands for itself except " and \, which are written
// \" and \\, and every other byte is written \xHH. Names hold no NUL and at most 255 bytes;
// configuration data holds at most 511 bytes, exactly as many as its length says. Snap-in
// names are unique without regard to case, and every configuration's snap-in exists. A task
// may name a configuration that has since been deleted.
//
// A missing or empty file is an empty database; the file is created by the first change. A
// file that breaks any rule above is damaged: every call that needs the database fails, and
// nothing is written until the file is repaired or removed; TaskLibraryProblem says what is
// wrong. Each change writes the whole file
// atomically. The file is read again whenever its stamp on disk changes, so changes made by
// another process are seen at the next call; between two processes the last writer wins.
//
// Everything runs on one thread; nothing here locks.
#include "platform/tasklib/TaskLib.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"

namespace {

constexpr std::string_view kHeader = "qvnx-console-database 1";
constexpr std::size_t kMaxName = 255;  // the record fields hold 256 bytes with the NUL
constexpr std::size_t kMaxData = 511;
constexpr std::size_t kSearchSlots = 64;

struct Snapin {
  LONG id = 0;
  std::string name, program, parameters;
};

struct Configuration {
  LONG id = 0;
  LONG snapinId = 0;
  std::string name;
  std::string data;
};

struct Task {
  LONG id = 0;
  std::string name;
  LONG configurationId = 0;
};

struct Database {
  long long nextId = 1;
  std::vector<Snapin> snapins;  // in id order, as are the two below
  std::vector<Configuration> configurations;
  std::vector<Task> tasks;
};

// --- Text format -----------------------------------------------------------------------

void AppendQuoted(std::string* out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  out->push_back('"');
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (u >= 0x20 && u <= 0x7E) {
      out->push_back(c);
    } else {
      out->append("\\x");
      out->push_back(kHex[u >> 4]);
      out->push_back(kHex[u & 0x0F]);
    }
  }
  out->push_back('"');
}

std::string Serialize(const Database& db) {
  std::string out(kHeader);
  out += "\nnext " + std::to_string(db.nextId) + "\n";
  for (const Snapin& s : db.snapins) {
    out += "snapin " + std::to_string(s.id) + " ";
    AppendQuoted(&out, s.name);
    out += " ";
    AppendQuoted(&out, s.program);
    out += " ";
    AppendQuoted(&out, s.parameters);
    out += "\n";
  }
  for (const Configuration& c : db.configurations) {
    out += "config " + std::to_string(c.id) + " " + std::to_string(c.snapinId) + " ";
    AppendQuoted(&out, c.name);
    out += " " + std::to_string(c.data.size()) + " ";
    AppendQuoted(&out, c.data);
    out += "\n";
  }
  for (const Task& t : db.tasks) {
    out += "task " + std::to_string(t.id) + " ";
    AppendQuoted(&out, t.name);
    out += " " + std::to_string(t.configurationId) + "\n";
  }
  return out;
}

// Reads the fields of one line from left to right; every read fails once one has failed.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) {}

  bool Word(std::string_view word) { return Take(word); }

  // A decimal number from `min` to `max`, without leading zeros.
  bool Number(long long min, long long max, long long* value) {
    if (!Separator())
      return false;
    std::size_t n = 0;
    while (n < rest_.size() && rest_[n] >= '0' && rest_[n] <= '9')
      ++n;
    if (n == 0 || n > 12 || (n > 1 && rest_[0] == '0'))
      return false;
    long long v = 0;
    std::from_chars(rest_.data(), rest_.data() + n, v);
    if (v < min || v > max)
      return false;
    rest_.remove_prefix(n);
    *value = v;
    return true;
  }

  bool Id(LONG* value) {
    long long v = 0;
    if (!Number(1, INT_MAX, &v))
      return false;
    *value = static_cast<LONG>(v);
    return true;
  }

  bool Quoted(std::string* value) {
    if (!Separator() || !Take("\""))
      return false;
    std::string out;
    while (!rest_.empty() && rest_[0] != '"') {
      char c = rest_[0];
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || u > 0x7E)
        return false;
      if (c != '\\') {
        out.push_back(c);
        rest_.remove_prefix(1);
        continue;
      }
      if (rest_.size() >= 2 && (rest_[1] == '"' || rest_[1] == '\\')) {
        out.push_back(rest_[1]);
        rest_.remove_prefix(2);
        continue;
      }
      int high = 0, low = 0;
      if (rest_.size() < 4 || rest_[1] != 'x' || !Hex(rest_[2], &high) || !Hex(rest_[3], &low)) {
        return false;
      }
      out.push_back(static_cast<char>(high * 16 + low));
      rest_.remove_prefix(4);
    }
    if (!Take("\""))
      return false;
    *value = std::move(out);
    return true;
  }

  // A name for a record field: no NUL, at most 255 bytes.
  bool Name(std::string* value) {
    return Quoted(value) && value->size() <= kMaxName && value->find('\0') == std::string::npos;
  }

  bool AtEnd() const { return rest_.empty(); }

 private:
  bool Take(std::string_view text) {
    if (rest_.substr(0, text.size()) != text)
      return false;
    rest_.remove_prefix(text.size());
    return true;
  }
  bool Separator() { return Take(" "); }
  static bool Hex(char c, int* value) {
    if (c >= '0' && c <= '9')
      *value = c - '0';
    else if (c >= 'A' && c <= 'F')
      *value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      *value = c - 'a' + 10;
    else
      return false;
    return true;
  }

  std::string_view rest_;
};

bool ParseRecord(std::string_view line, Database* db) {
  LineReader in(line);
  if (in.Word("snapin")) {
    Snapin s;
    if (!in.Id(&s.id) || !in.Name(&s.name) || !in.Name(&s.program) || !in.Name(&s.parameters) ||
        !in.AtEnd()) {
      return false;
    }
    db->snapins.push_back(std::move(s));
    return true;
  }
  if (in.Word("config")) {
    Configuration c;
    long long length = 0;
    if (!in.Id(&c.id) || !in.Id(&c.snapinId) || !in.Name(&c.name) ||
        !in.Number(0, kMaxData, &length) || !in.Quoted(&c.data) || !in.AtEnd() ||
        c.data.size() != static_cast<std::size_t>(length)) {
      return false;
    }
    db->configurations.push_back(std::move(c));
    return true;
  }
  if (in.Word("task")) {
    Task t;
    if (!in.Id(&t.id) || !in.Name(&t.name) || !in.Id(&t.configurationId) || !in.AtEnd()) {
      return false;
    }
    db->tasks.push_back(std::move(t));
    return true;
  }
  return false;
}

template <typename Record>
bool InIdOrder(const std::vector<Record>& records) {
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (records[i - 1].id >= records[i].id)
      return false;
  }
  return true;
}

// Checks the rules that span lines: id order, uniqueness, the next id, snap-in names and
// references. Each check is one pass (the ids sorted once), so a large file costs little more
// than reading it. Empty when the database is sound, else what is wrong.
std::string Inconsistency(const Database& db) {
  if (!InIdOrder(db.snapins) || !InIdOrder(db.configurations) || !InIdOrder(db.tasks))
    return "the records of a kind are not in id order";
  std::vector<LONG> ids;
  ids.reserve(db.snapins.size() + db.configurations.size() + db.tasks.size());
  for (const Snapin& s : db.snapins)
    ids.push_back(s.id);
  for (const Configuration& c : db.configurations)
    ids.push_back(c.id);
  for (const Task& t : db.tasks)
    ids.push_back(t.id);
  std::sort(ids.begin(), ids.end());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0 && ids[i - 1] == ids[i])
      return "the id " + std::to_string(ids[i]) + " is used twice";
    if (ids[i] >= db.nextId)
      return "the id " + std::to_string(ids[i]) + " is not below the next id";
  }
  std::unordered_set<std::string> names;
  std::unordered_set<LONG> snapinIds;
  for (const Snapin& s : db.snapins) {
    if (!names.insert(qv::ToLower(s.name)).second)
      return "the snap-in name \"" + s.name + "\" is used twice";
    snapinIds.insert(s.id);
  }
  for (const Configuration& c : db.configurations) {
    if (snapinIds.count(c.snapinId) == 0) {
      return "the configuration " + std::to_string(c.id) + " names the snap-in " +
             std::to_string(c.snapinId) + ", which does not exist";
    }
  }
  return "";
}

// Reads `bytes` into *db. Empty when they are a whole, valid database file, else what is
// wrong with them (*db is then of no use).
std::string Parse(std::string_view bytes, Database* db) {
  *db = Database();
  if (bytes.empty())
    return "";
  if (bytes.back() != '\n')
    return "the last line is cut short";
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 1;
  }
  if (lines[0] != kHeader)
    return "line 1 is not \"" + std::string(kHeader) + "\"";
  LineReader next(lines.size() < 2 ? std::string_view() : lines[1]);
  // The next id may be one past the largest id: every id has then been handed out.
  if (!next.Word("next") || !next.Number(1, static_cast<long long>(INT_MAX) + 1, &db->nextId) ||
      !next.AtEnd()) {
    return "line 2 is not \"next\" and the next id";
  }
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (!ParseRecord(lines[i], db))
      return "line " + std::to_string(i + 1) + " is not a valid record";
  }
  return Inconsistency(*db);
}

// --- Library state -----------------------------------------------------------------------

enum class SearchKind { kNone, kConfigurations, kTasks };

struct Search {
  SearchKind kind = SearchKind::kNone;
  std::vector<Configuration> configurations;  // the snapshot taken by the find-first call
  std::vector<Task> tasks;
  std::size_t position = 0;  // index of the next record to hand out
};

struct Library {
  void* databasePtr = nullptr;

  // The database as last read from or written to the file of the world of `generation`.
  unsigned generation = 0;
  bool haveWorld = false;
  std::string path;
  bool loaded = false;
  std::string problem;  // what is wrong with the file; empty when it is sound
  qv::HostStamp stamp;
  Database db;

  std::array<Search, kSearchSlots> searches;
  std::size_t nextSlot = 0;

  // Data handles: callers' buffers, and the library's copies of configuration data, one
  // handle per configuration id for the life of the world.
  std::uint32_t nextHandle = 1;
  std::map<std::uint32_t, const void*> buffers;
  std::map<const void*, std::uint32_t> bufferHandles;
  std::map<std::uint32_t, std::string> copies;
  std::map<LONG, std::uint32_t> copyHandles;
};

Library& Lib() {
  static Library library;
  return library;
}

std::uint32_t NewHandle(Library& lib) {
  while (lib.nextHandle == 0 || lib.buffers.count(lib.nextHandle) != 0 ||
         lib.copies.count(lib.nextHandle) != 0) {
    ++lib.nextHandle;
  }
  return lib.nextHandle++;
}

// Drops everything that belongs to the world in use when the current world has changed.
void FollowWorld(Library& lib) {
  if (lib.haveWorld && lib.generation == qv::World::Generation())
    return;
  lib.haveWorld = true;
  lib.generation = qv::World::Generation();
  lib.path.clear();
  lib.loaded = false;
  lib.problem.clear();
  lib.db = Database();
  lib.searches = {};
  lib.nextSlot = 0;
  lib.copies.clear();
  lib.copyHandles.clear();
}

// The database of the current world, read again when its file changed; null when there is
// no database pointer, no world, or the file is damaged or unreadable.
Database* Open() {
  Library& lib = Lib();
  FollowWorld(lib);
  qv::World* world = qv::World::Current();
  if (lib.databasePtr == nullptr || world == nullptr)
    return nullptr;
  if (lib.path.empty())
    lib.path = world->DatabaseHostPath();
  // A database folder linked to a place outside the world is never followed.
  if (!world->Contains(lib.path)) {
    lib.loaded = false;
    lib.problem = lib.path + ": lies outside the world";
    lib.db = Database();
    return nullptr;
  }
  qv::HostStamp stamp = qv::StampHostFile(lib.path);
  if (lib.loaded && stamp == lib.stamp)
    return lib.problem.empty() ? &lib.db : nullptr;

  lib.loaded = true;
  lib.stamp = stamp;
  lib.problem.clear();
  std::string bytes;
  if (stamp.exists) {
    lib.problem = qv::ReadHostFile(lib.path, &bytes) ? Parse(bytes, &lib.db) : "cannot be read";
  } else {
    // Something that is not a regular file (a folder, a link) is never replaced.
    std::error_code ec;
    auto status = std::filesystem::symlink_status(lib.path, ec);
    if (status.type() != std::filesystem::file_type::not_found)
      lib.problem = "is not a regular file";
    lib.db = Database();
  }
  if (lib.problem.empty())
    return &lib.db;
  lib.problem = lib.path + ": " + lib.problem;
  lib.db = Database();
  return nullptr;
}

// Writes `next` to the file and makes it the library's database. False, with the file and
// the library's database as they were, when the write fails.
bool Commit(Database next) {
  Library& lib = Lib();
  qv::World* world = qv::World::Current();
  if (world == nullptr || !world->Root().Write(lib.path, Serialize(next)))
    return false;
  lib.db = std::move(next);
  lib.stamp = qv::StampHostFile(lib.path);
  return true;
}

// The next id, or 0 when every id has been handed out.
LONG TakeId(Database* db) {
  if (db->nextId > INT_MAX)
    return 0;
  return static_cast<LONG>(db->nextId++);
}

bool FitsName(const char* text) {
  return text != nullptr && std::strlen(text) <= kMaxName;
}

void CopyName(char (&field)[256], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), text.size());
}

const Snapin* FindSnapinNamed(const Database& db, std::string_view name) {
  for (const Snapin& s : db.snapins) {
    if (qv::EqualsNoCase(s.name, name))
      return &s;
  }
  return nullptr;
}

void FillConfiguration(const Configuration& c, TaskConfigRecord* record) {
  Library& lib = Lib();
  std::memset(record, 0, sizeof *record);
  record->id = c.id;
  record->snapinId = c.snapinId;
  CopyName(record->name, c.name);
  record->dataLength = static_cast<std::uint32_t>(c.data.size());
  if (c.data.empty())
    return;
  auto known = lib.copyHandles.find(c.id);
  std::uint32_t handle = known != lib.copyHandles.end() ? known->second : NewHandle(lib);
  lib.copyHandles[c.id] = handle;
  lib.copies[handle] = c.data;
  record->data = handle;
}

void FillTask(const Task& t, TaskRecord* record) {
  std::memset(record, 0, sizeof *record);
  record->id = t.id;
  CopyName(record->name, t.name);
  record->configurationId = t.configurationId;
}

// Stores a snapshot in the next slot, the oldest one once all are used; returns its handle.
LONG StoreSearch(Search search) {
  Library& lib = Lib();
  std::size_t slot = lib.nextSlot;
  lib.nextSlot = (lib.nextSlot + 1) % kSearchSlots;
  lib.searches[slot] = std::move(search);
  return static_cast<LONG>(slot + 1);
}

Search* FindSearch(LONG handle, SearchKind kind) {
  Library& lib = Lib();
  FollowWorld(lib);
  if (lib.databasePtr == nullptr || handle < 1 || handle > static_cast<LONG>(kSearchSlots)) {
    return nullptr;
  }
  Search& search = lib.searches[static_cast<std::size_t>(handle - 1)];
  return search.kind == kind ? &search : nullptr;
}

}  // namespace

BOOL GetCoreServerName(char* buffer, DWORD size) {
  qv::World* world = qv::World::Current();
  if (world == nullptr || buffer == nullptr)
    return FALSE;
  const std::string& name = world->CoreServerName();
  if (name.empty() || name.size() + 1 > size)
    return FALSE;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return TRUE;
}

BOOL SetDatabasePtr(void* database) {
  Lib().databasePtr = database;
  return database != nullptr ? TRUE : FALSE;
}

void FreeDatabasePtr() {
  Lib().databasePtr = nullptr;
}

BOOL FindSnapin(const char* name, SnapinRecord* record) {
  Database* db = Open();
  if (db == nullptr || name == nullptr || record == nullptr)
    return FALSE;
  const Snapin* s = FindSnapinNamed(*db, name);
  if (s == nullptr)
    return FALSE;
  std::memset(record, 0, sizeof *record);
  record->id = s->id;
  CopyName(record->name, s->name);
  CopyName(record->program, s->program);
  CopyName(record->parameters, s->parameters);
  return TRUE;
}

BOOL RegisterTaskSnapin(const char* name, const char* program, const char* parameters) {
  Database* db = Open();
  if (db == nullptr || !FitsName(name) || *name == '\0' || !FitsName(program) ||
      !FitsName(parameters) || FindSnapinNamed(*db, name) != nullptr) {
    return FALSE;
  }
  Database next = *db;
  LONG id = TakeId(&next);
  if (id == 0)
    return FALSE;
  next.snapins.push_back({id, name, program, parameters});
  return Commit(std::move(next)) ? TRUE : FALSE;
}

LONG FindFirstTaskConfiguration(const char* snapinName, TaskConfigRecord* record) {
  Database* db = Open();
  if (db == nullptr || snapinName == nullptr || record == nullptr)
    return -1;
  const Snapin* s = FindSnapinNamed(*db, snapinName);
  if (s == nullptr)
    return -1;
  Search search;
  search.kind = SearchKind::kConfigurations;
  for (const Configuration& c : db->configurations) {
    if (c.snapinId == s->id)
      search.configurations.push_back(c);
  }
  if (search.configurations.empty())
    return -1;
  FillConfiguration(search.configurations[0], record);
  search.position = 1;
  return StoreSearch(std::move(search));
}

BOOL FindNextTaskConfiguration(LONG handle, TaskConfigRecord* record) {
  Search* search = FindSearch(handle, SearchKind::kConfigurations);
  if (search == nullptr || record == nullptr || search->position >= search->configurations.size()) {
    return FALSE;
  }
  FillConfiguration(search->configurations[search->position++], record);
  return TRUE;
}

LONG FindFirstTask(TaskRecord* record) {
  Database* db = Open();
  if (db == nullptr || record == nullptr || db->tasks.empty())
    return -1;
  Search search;
  search.kind = SearchKind::kTasks;
  search.tasks = db->tasks;
  FillTask(search.tasks[0], record);
  search.position = 1;
  return StoreSearch(std::move(search));
}

BOOL FindNextTask(LONG handle, TaskRecord* record) {
  Search* search = FindSearch(handle, SearchKind::kTasks);
  if (search == nullptr || record == nullptr || search->position >= search->tasks.size()) {
    return FALSE;
  }
  FillTask(search->tasks[search->position++], record);
  return TRUE;
}

BOOL AddTaskConfiguration(TaskConfigRecord* record) {
  Database* db = Open();
  if (db == nullptr || record == nullptr || record->id != -1 ||
      std::memchr(record->name, '\0', sizeof record->name) == nullptr ||
      record->dataLength > kMaxData) {
    return FALSE;
  }
  const char* data = static_cast<const char*>(qv::TaskDataAddress(record->data));
  if (record->dataLength > 0 && data == nullptr)
    return FALSE;
  bool snapinKnown = false;
  for (const Snapin& s : db->snapins)
    snapinKnown = snapinKnown || s.id == record->snapinId;
  if (!snapinKnown)
    return FALSE;

  Database next = *db;
  LONG id = TakeId(&next);
  if (id == 0)
    return FALSE;
  Configuration c;
  c.id = id;
  c.snapinId = record->snapinId;
  c.name = record->name;
  if (record->dataLength > 0)
    c.data.assign(data, record->dataLength);
  next.configurations.push_back(std::move(c));
  if (!Commit(std::move(next)))
    return FALSE;
  record->id = id;
  return TRUE;
}

BOOL DeleteTaskConfiguration(LONG id) {
  Database* db = Open();
  if (db == nullptr)
    return FALSE;
  Database next = *db;
  std::erase_if(next.configurations, [id](const Configuration& c) { return c.id == id; });
  if (next.configurations.size() == db->configurations.size())
    return FALSE;
  return Commit(std::move(next)) ? TRUE : FALSE;
}

namespace qv {

qv::com::HandleTable<void>& DatabaseHandles() {
  static qv::com::HandleTable<void> table;
  return table;
}

qv::com::HandleTable<TaskRecord>& TaskRecordHandles() {
  static qv::com::HandleTable<TaskRecord> table;
  return table;
}

std::string TaskLibraryProblem() {
  Library& lib = Lib();
  FollowWorld(lib);
  return lib.problem.empty() ? std::string() : "the console database " + lib.problem;
}

std::uint32_t RegisterTaskData(const void* buffer) {
  Library& lib = Lib();
  if (buffer == nullptr)
    return 0;
  auto known = lib.bufferHandles.find(buffer);
  if (known != lib.bufferHandles.end())
    return known->second;
  std::uint32_t handle = NewHandle(lib);
  lib.buffers[handle] = buffer;
  lib.bufferHandles[buffer] = handle;
  return handle;
}

const void* TaskDataAddress(std::uint32_t handle) {
  Library& lib = Lib();
  FollowWorld(lib);
  auto buffer = lib.buffers.find(handle);
  if (buffer != lib.buffers.end())
    return buffer->second;
  auto copy = lib.copies.find(handle);
  if (copy != lib.copies.end())
    return copy->second.data();
  return nullptr;
}

LONG AddTask(const char* name, LONG configurationId) {
  Database* db = Open();
  if (db == nullptr || !FitsName(name))
    return -1;
  bool known = false;
  for (const Configuration& c : db->configurations)
    known = known || c.id == configurationId;
  if (!known)
    return -1;
  Database next = *db;
  LONG id = TakeId(&next);
  if (id == 0)
    return -1;
  next.tasks.push_back({id, name, configurationId});
  return Commit(std::move(next)) ? id : -1;
}

BOOL DeleteTask(LONG taskId) {
  Database* db = Open();
  if (db == nullptr)
    return FALSE;
  Database next = *db;
  std::erase_if(next.tasks, [taskId](const Task& t) { return t.id == taskId; });
  if (next.tasks.size() == db->tasks.size())
    return FALSE;
  return Commit(std::move(next)) ? TRUE : FALSE;
}

}  // namespace qv
