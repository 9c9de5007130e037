// A fresh default world in a temporary folder, current for the life of the object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "forms/FormField.h"
#include "platform/path/World.h"

class TestWorld {
 public:
  TestWorld();
  ~TestWorld();
  TestWorld(const TestWorld&) = delete;
  TestWorld& operator=(const TestWorld&) = delete;

  const std::string& Dir() const { return dir_; }
  qv::World& World() { return *world_; }
  // Host path of a Windows path (fails the test when refused).
  std::string Host(const std::string& winPath) const;
  // Flushes the profile cache and returns the file's bytes ("" when missing).
  std::string Bytes(const std::string& winPath) const;
  // Writes bytes straight to the host file behind a Windows path (bypassing every cache).
  void Put(const std::string& winPath, const std::string& bytes) const;
  bool Exists(const std::string& winPath) const;

 private:
  std::string dir_;
  std::unique_ptr<qv::World> world_;
};

// Names of the files that FindFirstFileA/FindNextFileA give for a Windows pattern, in order.
std::vector<std::string> FindFiles(const std::string& pattern);

// Entries of a form, made in one call.
std::unique_ptr<CFormField> Question(int control, const char* inventory, const char* text,
                                     bool required, const char* note = "",
                                     const std::vector<std::string>& items = {});
std::unique_ptr<CFormField> Marker(int kind, const char* note = "");
// Everything an entry holds on one line: "EDIT R Room|Room number|[item]...|note" for a
// question ("LISTBOX", "COMBOBOX", "NONE"; "R" or "NR"), "SEPARATOR |...|note" or
// "PAGEBREAK |...|note" for a marker. A marker flag that does not match the kind shows.
std::string Describe(const CFormField& entry);

// The bytes of a file of tests/data/forms.
std::string Golden(const std::string& name);
// The bytes with the value of each "key=" line replaced.
std::string ReplaceValue(const std::string& bytes, const std::string& key,
                         const std::string& value);
// The bytes with both dates of a form file set to fixed values.
std::string WithDates(const std::string& bytes, const char* created, const char* modified);
