#include "tests/TestWorld.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "forms/FieldItem.h"
#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "tools/common/DefaultWorld.h"

TestWorld::TestWorld() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvworld.XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  if (made == nullptr)
    throw std::runtime_error("mkdtemp failed");
  dir_ = made;
  std::string why;
  if (!qv::MakeDefaultWorld(dir_, &why))
    throw std::runtime_error(why);
  world_ = qv::World::Open(dir_, &why);
  if (world_ == nullptr)
    throw std::runtime_error(why);
  qv::World::SetCurrent(world_.get());
}

TestWorld::~TestWorld() {
  qv::ResetProfiles();
  qv::ResetRegistry();
  qv::World::SetCurrent(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TestWorld::Host(const std::string& winPath) const {
  std::string host, why;
  EXPECT_TRUE(world_->MapPath(winPath, &host, &why)) << winPath << ": " << why;
  return host;
}

std::string TestWorld::Bytes(const std::string& winPath) const {
  qv::FlushProfiles();
  std::string bytes;
  qv::ReadHostFile(Host(winPath), &bytes);
  return bytes;
}

void TestWorld::Put(const std::string& winPath, const std::string& bytes) const {
  qv::FlushProfiles();
  ASSERT_TRUE(qv::WriteHostFileAtomic(Host(winPath), bytes)) << winPath;
}

bool TestWorld::Exists(const std::string& winPath) const {
  qv::FlushProfiles();
  return qv::StampHostFile(Host(winPath)).exists;
}

std::vector<std::string> FindFiles(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data))
    names.push_back(data.cFileName);
  if (find != INVALID_HANDLE_VALUE)
    FindClose(find);
  return names;
}

std::unique_ptr<CFormField> Question(int control, const char* inventory, const char* text,
                                     bool required, const char* note,
                                     const std::vector<std::string>& items) {
  auto entry = std::make_unique<CFormField>();
  entry->controlType = control;
  entry->inventoryName = inventory;
  entry->questionText = text;
  entry->required = required;
  entry->description = note;
  for (const std::string& item : items)
    entry->AddItem(item);
  return entry;
}

std::unique_ptr<CFormField> Marker(int kind, const char* note) {
  auto entry = std::make_unique<CFormField>();
  entry->kind = kind;
  entry->marker = true;
  entry->description = note;
  return entry;
}

std::string Describe(const CFormField& e) {
  const std::vector<std::string> controls = {"EDIT", "LISTBOX", "COMBOBOX", "NONE"};
  const std::vector<std::string> markers = {"SEPARATOR", "PAGEBREAK"};
  std::string text = e.kind == CFormField::kQuestion
                         ? controls.at(e.controlType) + (e.required ? " R" : " NR")
                         : markers.at(e.kind);
  if (e.marker != (e.kind != CFormField::kQuestion))
    text += " BAD-MARKER";
  text += " " + e.inventoryName + "|" + e.questionText + "|";
  for (const auto& item : e.items)
    text += "[" + item->text + "]";
  return text + "|" + e.description;
}

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(QV_TEST_DATA) + "/forms/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReplaceValue(const std::string& bytes, const std::string& key,
                         const std::string& value) {
  return std::regex_replace(bytes, std::regex("(^|\n)" + key + "=[^\r\n]*"),
                            "$1" + key + "=" + value);
}

std::string WithDates(const std::string& bytes, const char* created, const char* modified) {
  return ReplaceValue(ReplaceValue(bytes, "CreationDate", created), "LastModifiedDate", modified);
}
