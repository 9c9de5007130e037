#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tools/qvccfg/Commands.h"

namespace fs = std::filesystem;

namespace {

// A world folder of its own, made by the program's init command.
class QvccfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qvccfg.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ASSERT_EQ(Run({"init"}), 0) << err;
  }
  void TearDown() override {
    qv::ResetProfiles();
    qv::World::SetCurrent(nullptr);
    fs::remove_all(dir_);
  }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--world", dir_ + "/w"});
    out.clear();
    err.clear();
    return qv::RunQvccfg(args, &out, &err);
  }
  std::string WriteJson(const std::string& text) {
    std::string path = dir_ + "/in.json";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::vector<std::string> Forms() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ + "/w/CORE1/D/Apps/Main/QVLOGON"))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_, out, err;
};

const char kNewForm[] = R"({
  "name": "Desk check",
  "description": "Caf\u00e9 and desk",
  "entries": [
    {"kind": "question", "control": 0, "inventoryName": "Desk", "text": "Desk number",
     "required": true, "description": "On the label"},
    {"kind": "separator"},
    {"kind": "question", "control": 2, "inventoryName": "Chair", "text": "Chair kind",
     "required": false, "items": ["Plain", "Arm, soft"]}
  ]
})";

}  // namespace

TEST_F(QvccfgTest, InitWhereShowAndCheck) {
  EXPECT_EQ(Run({"init"}), 2);  // never over an existing world
  EXPECT_NE(err.find("nothing was changed"), std::string::npos) << err;

  ASSERT_EQ(Run({"where", "\\\\core1\\QVLOGON\\frm1a.frm"}), 0) << err;
  EXPECT_EQ(out, dir_ + "/w/CORE1/D/Apps/Main/QVLOGON/FRM1A.FRM\n");
  EXPECT_EQ(Run({"where", "\\\\CORE1\\qvlogon\\..\\..\\x"}), 2);
  EXPECT_EQ(out, "");

  ASSERT_EQ(Run({"show", "\\\\CORE1\\qvlogon\\FRM1A.FRM"}), 0) << err;
  EXPECT_NE(out.find("\"name\": \"Office survey\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"messages\": []"), std::string::npos) << out;
  EXPECT_EQ(Run({"check", dir_ + "/w/CORE1/D/Apps/Main/QVLOGON/FRM2B7.FRM"}), 0) << err;

  // A damaged form: show lists the message, check reports it and fails.
  std::string bad = dir_ + "/w/CORE1/D/Apps/Main/QVLOGON/BAD.FRM";
  std::ofstream(bad, std::ios::binary) << "[Form]\r\nFormName=Bad\r\nField1=EDIT, only two\r\n";
  ASSERT_EQ(Run({"show", bad}), 0) << err;
  EXPECT_EQ(out.find("\"messages\": []"), std::string::npos) << out;
  EXPECT_EQ(Run({"check", bad}), 1);
  EXPECT_FALSE(err.empty());

  EXPECT_EQ(Run({"show", "/etc/passwd"}), 2);
  EXPECT_EQ(Run({"show", "\\\\CORE1\\qvlogon\\MISSING.FRM"}), 2);
  EXPECT_EQ(Run({"frobnicate", "x"}), 2);
}

TEST_F(QvccfgTest, ImportSavesANewFormAndExportGivesItBack) {
  std::vector<std::string> before = Forms();
  ASSERT_EQ(Run({"import", WriteJson(kNewForm)}), 0) << err;
  // The new file's whole name is upper-cased, share included.
  ASSERT_EQ(out.rfind("\\\\CORE1\\QVLOGON\\FRM", 0), 0u) << out;
  std::string win = out.substr(0, out.size() - 1);
  ASSERT_EQ(Forms().size(), before.size() + 1);

  ASSERT_EQ(Run({"where", win}), 0);
  std::string bytes;
  ASSERT_TRUE(qv::ReadHostFile(out.substr(0, out.size() - 1), &bytes));
  std::size_t form = bytes.find("[Form]\r\n");
  ASSERT_NE(form, std::string::npos) << bytes;
  EXPECT_EQ(bytes.substr(form),
            "[Form]\r\n"
            "FormName=Desk check\r\n"
            "FormDescription=Caf\xE9 and desk\r\n"
            "Field1=EDIT, Desk, Desk number, R, \r\n"
            "FieldNote1=On the label\r\n"
            "Field2=SEPARATOR\r\n"
            "FieldNote2=\r\n"
            "Field3=COMBOBOX, Chair, Chair kind, NR, {Plain, {Arm, soft}}\r\n"
            "FieldNote3=\r\n");

  ASSERT_EQ(Run({"export", win}), 0) << err;
  EXPECT_NE(out.find("\"description\": \"Caf\u00e9 and desk\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"Arm, soft\""), std::string::npos) << out;
  EXPECT_EQ(out.find("\"messages\""), std::string::npos);

  // The same name again is refused.
  EXPECT_EQ(Run({"import", WriteJson(kNewForm)}), 2);
  EXPECT_NE(err.find("already exists"), std::string::npos) << err;
}

TEST_F(QvccfgTest, BadImportsWriteNothing) {
  std::vector<std::string> before = Forms();
  const std::string bad[] = {
      "{",
      "[]",
      R"({"name": "", "description": "", "entries": []})",
      R"({"name": "a - b", "description": "", "entries": []})",
      R"({"name": "x", "description": "two\nlines", "entries": []})",
      R"({"name": "x", "description": "", "entries": [], "extra": 1})",
      R"({"name": "x", "description": "", "entries": [{"kind": "question", "control": 9,
          "inventoryName": "a", "text": "b", "required": true}]})",
      R"({"name": "x", "description": "", "entries": [{"kind": "question", "control": 0,
          "inventoryName": "a", "text": " padded", "required": true}]})",
      R"({"name": "x", "description": "", "entries": [{"kind": "chart"}]})",
      R"({"name": "\u4e2d", "description": "", "entries": []})",
  };
  for (const std::string& text : bad) {
    EXPECT_EQ(Run({"import", WriteJson(text)}), 2) << text;
    EXPECT_FALSE(err.empty()) << text;
    EXPECT_EQ(out, "") << text;
  }
  EXPECT_EQ(Run({"import", dir_ + "/none.json"}), 2);
  EXPECT_EQ(Forms(), before);
}
