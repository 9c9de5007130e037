#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/Support.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"
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

  int Run(std::vector<std::string> args) { return RunIn(dir_ + "/w", std::move(args)); }
  int RunIn(const std::string& world, std::vector<std::string> args) {
    args.insert(args.begin(), {"--world", world});
    out.clear();
    err.clear();
    return qv::RunQvccfg(args, &out, &err);
  }
  // The built program, standing for the real thing.
  ChildResult RunProgram(ChildRun run) {
    run.args.insert(run.args.begin(), {"--world", dir_ + "/w"});
    return RunChild("qvccfg", run);
  }
  static std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

const std::string kShare = "\\\\CORE1\\qvlogon\\";

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

TEST_F(QvccfgTest, OnlyInitMakesAWorld) {
  // A folder without a world: every other command refuses it, says how to make one, and
  // creates nothing.
  std::string none = dir_ + "/none";
  const std::vector<std::vector<std::string>> commands = {{"list"},
                                                          {"groups"},
                                                          {"tasks"},
                                                          {"show", kShare + "FRM1A.FRM"},
                                                          {"import", WriteJson(kNewForm)}};
  for (const auto& command : commands) {
    EXPECT_EQ(RunIn(none, command), 2) << command[0];
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find("--world " + none + " init"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(none)) << command[0];
  }

  // A world that lost its description is not made again over its groups.
  std::string groups = dir_ + "/w/CORE1/D/Apps/Main/QVLOGON/FDGRPLST.GPS";
  ASSERT_TRUE(qv::WriteHostFileAtomic(groups, "[Group1]\r\nName=Ours\r\n"));
  fs::remove(dir_ + "/w/world.ini");
  EXPECT_EQ(Run({"groups"}), 2);
  EXPECT_EQ(Run({"init"}), 2);  // CORE1 is there
  EXPECT_NE(err.find("nothing was changed"), std::string::npos) << err;
  std::string bytes;
  ASSERT_TRUE(qv::ReadHostFile(groups, &bytes));
  EXPECT_EQ(bytes, "[Group1]\r\nName=Ours\r\n");
  EXPECT_FALSE(fs::exists(dir_ + "/w/world.ini"));

  // init refuses a folder holding any name a world puts at its top, in any letter case.
  for (const char* name : {"core1", "Admin7", "CONSOLE.DB", "World.ini"}) {
    std::string folder = dir_ + "/taken-" + name;
    fs::create_directories(folder + "/" + name);
    EXPECT_EQ(RunIn(folder, {"init"}), 2) << name;
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_EQ(Listing(folder), std::vector<std::string>{name});
  }
}

TEST_F(QvccfgTest, EmptyWorldNameMakesNothing) {
  std::string cwd = dir_ + "/cwd";
  fs::create_directory(cwd);
  for (const char* command : {"list", "init"}) {
    ChildResult r = RunChild("qvccfg", {.args = {"--world", "", command}, .cwd = cwd});
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_TRUE(OneLine(r.err)) << r.err;
    EXPECT_TRUE(Listing(cwd).empty()) << command;
  }
}

TEST_F(QvccfgTest, PathsThatNameNoFileAreOneLineErrors) {
  for (const char* command : {"show", "check", "export", "import"}) {
    EXPECT_EQ(Run({command, ""}), 2) << command;
    EXPECT_TRUE(OneLine(err)) << command << ": " << err;
    EXPECT_EQ(out, "");
  }
  // A relative file, or world, when the working folder has gone.
  std::string gone = dir_ + "/gone";
  fs::create_directory(gone);
  ChildResult r = RunProgram({.args = {"show", "FRM1A.FRM"}, .cwd = gone, .removeCwd = true});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
  fs::create_directory(gone);
  r = RunChild("qvccfg", {.args = {"--world", "w", "list"}, .cwd = gone, .removeCwd = true});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
}

TEST_F(QvccfgTest, OutputThatCannotBeWrittenFails) {
  ChildResult r = RunProgram({.args = {"list"}, .stdoutPath = "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
  EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
  EXPECT_EQ(RunChild("qvccfg", {.args = {"--help"}, .stdoutPath = "/dev/full"}).status, 1);
  EXPECT_EQ(RunChild("qvccfg", {.args = {"--help"}}).status, 0);  // the same, written

  // The viewer prints the page it wrote.
  r = RunChild("QVCstm32.exe",
               {.args = {"--world", dir_ + "/w", "/d", "/i=" + kShare + "FRM1A.FRM"},
                .stdoutPath = "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
}

// An endless input is read no further than the limit: the program ends, and holds about one
// copy of the 16 MB limit at most. A program that read on would keep growing until it ran
// out of the address space it is given here.
TEST_F(QvccfgTest, ImportStopsReadingAtTheSizeLimit) {
  std::vector<std::string> before = Forms();
  ChildRun run{.args = {"import", "/dev/zero"}};
  // The address sanitizer reserves far more address space than it uses: no cap under it.
#if defined(__SANITIZE_ADDRESS__)
  constexpr bool kSanitized = true;
#elif defined(__has_feature)
  constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
  constexpr bool kSanitized = false;
#endif
  if (!kSanitized)
    run.memoryLimitMb = 2048;
  ChildResult r = RunProgram(run);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
  EXPECT_NE(r.err.find("larger than"), std::string::npos) << r.err;
  EXPECT_LT(r.maxRssKb, 200 * 1024);
  EXPECT_EQ(Forms(), before);
}

TEST_F(QvccfgTest, ImportRefusesTextsThatWouldNotReadBack) {
  qv::json::Value good;
  ASSERT_TRUE(qv::json::Parse(kNewForm, &good, nullptr));
  // kNewForm with one text changed, as JSON text.
  auto with = [&](const std::function<void(qv::json::Value&)>& change) {
    qv::json::Value form = good;
    change(form);
    return qv::json::Write(form, false);
  };
  auto top = [&](const char* key, std::string text) {
    return with([=](qv::json::Value& f) { f[key] = text; });
  };
  // The question with items, entries[2], with one member set to text ("items": the second).
  auto entry = [&](const char* key, std::string text) {
    return with([=](qv::json::Value& f) {
      qv::json::Value& question = f.at("entries").at(2);
      if (std::string(key) == "items")
        question["items"] = qv::json::Array{"Plain", text};
      else
        question[key] = text;
    });
  };
  struct Case {
    std::string json;
    std::string where;  // what the error line names
  };
  const Case bad[] = {
      // Names that would read back as the sample form's name.
      {top("name", " Office survey"), "name: "},
      {top("name", "Office survey  "), "name: "},
      {top("name", "\"Office survey\""), "name: "},
      {top("name", "'Office survey'"), "name: "},
      {top("name", "OFFICE survey"), "a form named \"Office survey\" already exists"},
      {top("name", std::string("Desk\0", 5)), "name: "},
      {top("name", "Desk\ncheck"), "name: "},
      {top("name", "Desk\x1B[31m"), "name: "},
      {top("description", "\tindented"), "description: "},
      {top("description", "'quoted'"), "description: "},
      {top("description", std::string(8196, 'd')), "description: "},
      {entry("description", " note"), "entries[2].description: "},
      {entry("description", "\"note\""), "entries[2].description: "},
      {entry("text", "bell\x07"), "entries[2].text: "},
      {entry("inventoryName", std::string("in\0v", 4)), "entries[2].inventoryName: "},
      {entry("items", "line\rbreak"), "entries[2].items[1]: "},
      {entry("items", "trailing "), "entries[2]: "},
  };
  std::vector<std::string> before = Forms();
  for (const Case& c : bad) {
    EXPECT_EQ(Run({"import", WriteJson(c.json)}), 2) << c.where;
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find(c.where), std::string::npos) << c.where << " / " << err;
    EXPECT_EQ(out, "");
  }
  EXPECT_EQ(Forms(), before);

  // Quotation marks inside a field line are plain text and come back as they are.
  ASSERT_EQ(Run({"import", WriteJson(entry("text", "\"Desk\" number"))}), 0) << err;
  ASSERT_EQ(Run({"export", out.substr(0, out.size() - 1)}), 0) << err;
  EXPECT_NE(out.find(R"("text": "\"Desk\" number")"), std::string::npos) << out;
}

TEST_F(QvccfgTest, ExportedFormsImportUnderANewName) {
  // Everything but the file, the dates and the name.
  auto essence = [](qv::json::Value v) {
    v["file"] = "";
    v["name"] = "";
    v.at("header")["creationDate"] = "";
    v.at("header")["lastModifiedDate"] = "";
    return v;
  };
  for (const char* file : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"}) {
    ASSERT_EQ(Run({"export", kShare + file}), 0) << err;
    qv::json::Value original;
    ASSERT_TRUE(qv::json::Parse(out, &original, nullptr)) << out;
    qv::json::Value renamed = original;
    std::string name = original.at("name").get<std::string>() + " (copy)";
    renamed["name"] = name;
    ASSERT_EQ(Run({"import", WriteJson(qv::json::Write(renamed, true))}), 0) << file << ": " << err;
    ASSERT_EQ(Run({"export", out.substr(0, out.size() - 1)}), 0) << err;
    qv::json::Value copy;
    ASSERT_TRUE(qv::json::Parse(out, &copy, nullptr)) << out;
    EXPECT_EQ(copy.at("name").get<std::string>(), name);
    EXPECT_EQ(essence(copy), essence(original)) << file << "\n" << out;
  }
  // Members of the wrong shape are still refused.
  EXPECT_EQ(
      Run({"import", WriteJson(R"({"file": 1, "name": "x", "description": "", "entries": []})")}),
      2);
  EXPECT_EQ(Run({"import", WriteJson(R"({"header": {"owner": "x"}, "name": "x", "description": "",
                                          "entries": []})")}),
            2);
  EXPECT_NE(err.find("header: unknown member \"owner\""), std::string::npos) << err;
}

TEST_F(QvccfgTest, TasksReportsADamagedDatabase) {
  ASSERT_EQ(Run({"tasks"}), 0) << err;  // no database file yet: an empty one
  std::string db = dir_ + "/w/console.db";
  const std::string header = "qvnx-console-database 1\nnext 3\n";
  const std::pair<std::string, std::string> damaged[] = {
      {"garbage\n", "line 1"},
      {header + "snapin 1 \"Run\" \"p\" \"\"\nsnapin 2 \"RUN\" \"p\" \"\"\n", "used twice"},
      {header + "config 1 7 \"c\" 0 \"\"\n", "does not exist"},
  };
  for (const auto& [bytes, what] : damaged) {
    ASSERT_TRUE(qv::WriteHostFileAtomic(db, bytes));
    EXPECT_EQ(Run({"tasks"}), 2) << bytes;
    EXPECT_EQ(out, "");
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find(db), std::string::npos) << err;
    EXPECT_NE(err.find(what), std::string::npos) << err;
  }
}

TEST_F(QvccfgTest, ErrorLinesShowOutsideTextEscaped) {
  std::string odd = dir_ + "/odd";
  fs::create_directories(odd);
  std::ofstream(odd + "/world.ini", std::ios::binary)
      << "[World]\r\nConsole=A\r\n[Computer A]\r\nDrive \x1B=x\r\n";
  ASSERT_TRUE(qv::WriteHostFileAtomic(dir_ + "/w/console.db",
                                      "qvnx-console-database 1\nnext 3\nsnapin 1 \"a\\x1B\" \"\" "
                                      "\"\"\nsnapin 2 \"A\\x1b\" \"\" \"\"\n"));
  const std::vector<std::vector<std::string>> commands = {
      {"--world", dir_ + "/w", "show", "\x1B[31m.FRM"},
      {"--world", dir_ + "/w", "show", kShare + "\x1B]0;title\x07.FRM"},
      {"--world", dir_ + "/w", "where", "\\\\CORE1\\qvlogon\\\x1B[2J"},
      {"--world", dir_ + "/w", "import", dir_ + "/\x1B[31m.json"},
      {"--world", dir_ + "/w", "script", "\x1B[31m"},
      {"--world", dir_ + "/w", "tasks"},
      {"--world", odd, "list"},
  };
  for (const auto& args : commands) {
    out.clear();
    err.clear();
    EXPECT_EQ(qv::RunQvccfg(args, &out, &err), 2) << args[2];
    EXPECT_TRUE(OneLine(err)) << args[2] << ": " << err;
    EXPECT_NE(err.find("\\x1B"), std::string::npos) << args[2] << ": " << err;
  }
}

TEST(Printable, EscapesWhatIsNotPrintableUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain \\\\CORE1\\x", "plain \\\\CORE1\\x"},
      {"\x1B[31mred\x07", "\\x1B[31mred\\x07"},
      {std::string("a\0b\n\t\x7F", 6), "a\\x00b\\x0A\\x09\\x7F"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"caf\xE9", "caf\\xE9"},                                  // Windows-1252, not UTF-8
      {"\xC2\x9B", "\\xC2\\x9B"},                               // C1 control (CSI)
      {"\xE2\x82", "\\xE2\\x82"},                               // cut short
      {"\xC0\xAF \xED\xA0\x80", "\\xC0\\xAF \\xED\\xA0\\x80"},  // overlong, surrogate
  };
  for (const auto& [text, shown] : cases)
    EXPECT_EQ(qv::Printable(text), shown) << shown;
}
