// What several tests compare: the files of a folder, error lines, the committed golden files
// and the console database.
#pragma once

#include <map>
#include <string>
#include <vector>

// The entries below a host folder by relative path (hidden ones too): a file's bytes, "<dir>"
// or "<link>"; links are not followed. Empty when the folder is missing.
std::map<std::string, std::string> FolderTree(const std::string& folder);

// The paths that differ between two readings (added, removed or changed): a short failure
// message even when a program file is among them.
std::vector<std::string> Changed(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after);

// An error is one line: it ends in the one line break it holds, and no other control
// character reaches the terminal.
bool OneLine(const std::string& text);

// The bytes of a file of tests/data/golden.
std::string GoldenFile(const std::string& name);

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// The console database once the control registered its snap-in, with `records` after it.
std::string ConsoleDatabase(int next, const std::string& records);
