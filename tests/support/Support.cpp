#include "tests/support/Support.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/path/HostFile.h"

namespace fs = std::filesystem;

std::map<std::string, std::string> FolderTree(const std::string& folder) {
  std::map<std::string, std::string> entries;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    std::string& entry = entries[fs::relative(it->path(), folder).string()];
    fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status))
      entry = "<link>";
    else if (fs::is_directory(status))
      entry = "<dir>";
    else
      EXPECT_TRUE(qv::ReadHostFile(it->path().string(), &entry)) << it->path();
  }
  return entries;
}

std::vector<std::string> Changed(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
  std::vector<std::string> changed;
  for (const auto& [path, bytes] : before)
    if (after.count(path) == 0 || after.at(path) != bytes)
      changed.push_back(path);
  for (const auto& [path, bytes] : after)
    if (before.count(path) == 0)
      changed.push_back(path);
  return changed;
}

bool OneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' &&
         std::none_of(text.begin(), text.end() - 1,
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string GoldenFile(const std::string& name) {
  fs::path path = std::string(QV_TEST_DATA) + "/golden/" + name;
  EXPECT_TRUE(fs::is_regular_file(path)) << name;
  return FileBytes(path);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string ConsoleDatabase(int next, const std::string& records) {
  return "qvnx-console-database 1\nnext " + std::to_string(next) +
         "\nsnapin 1 \"Execute Ini Script\" \"FrmTask.exe\" \"\"\n" + records;
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path ProgramFolder() {
  return fs::read_symlink("/proc/self/exe").parent_path();
}

GUID Parsed(const char* text) {
  GUID guid{};
  EXPECT_TRUE(qv::com::ParseGuid(text, &guid)) << text;
  return guid;
}

std::vector<std::string> Lines(const std::string& text, const std::string& separator) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
       start = at + separator.size())
    lines.push_back(text.substr(start, at - start));
  lines.push_back(text.substr(start));
  return lines;
}

ClearedEnvironment::ClearedEnvironment(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const char* value = std::getenv(name.c_str());
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    unsetenv(name.c_str());
  }
}

ClearedEnvironment::~ClearedEnvironment() {
  for (const auto& [name, value] : saved_) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
}
