// What several tests compare (folders, error lines, golden files, the console database) and
// read or set (a file's bytes, the test program's folder, GUIDs, lines, environment variables).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/Guid.h"

// The entries below a host folder by relative path (hidden ones too): a file's bytes, "<dir>"
// or "<link>"; links are not followed. Empty when the folder is missing.
std::map<std::string, std::string> FolderTree(const std::string& folder);

// The paths added, removed or changed between two readings: a short failure message.
std::vector<std::string> Changed(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after);

// An error is one line: it ends in its one line break, and holds no other control character.
bool OneLine(const std::string& text);

// The bytes of a file of tests/data/golden.
std::string GoldenFile(const std::string& name);

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// The console database once the control registered its snap-in, with `records` after it.
std::string ConsoleDatabase(int next, const std::string& records);

// The bytes of a file; empty when it cannot be read.
std::string FileBytes(const std::filesystem::path& path);

// The folder of the test program, where the build puts the programs and their files.
std::filesystem::path ProgramFolder();

// The GUID written in `text` ("{...}"); a failure of the test when it is not one.
GUID Parsed(const char* text);

// The pieces of `text` between `separator`s; the piece after the last one too, even empty.
std::vector<std::string> Lines(const std::string& text, const std::string& separator = "\n");

// Unsets the environment variables `names` for the life of the object.
class ClearedEnvironment {
 public:
  explicit ClearedEnvironment(const std::vector<std::string>& names);
  ~ClearedEnvironment();
  ClearedEnvironment(const ClearedEnvironment&) = delete;
  ClearedEnvironment& operator=(const ClearedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
