#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "tests/support/ChildProgram.h"
#include "tests/tools/QvccfgWorld.h"
#include "tools/common/Programs.h"

namespace fs = std::filesystem;

namespace {

using QvccfgTest = QvccfgWorld;

const std::string kForms = "CORE1/D/Apps/Main/QVLOGON/";
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

// Each row: a command, its status, a part of its output and of its error ("": none); an error
// of a line is one line.
TEST_F(QvccfgTest, ShowCheckAndTasks) {
  const std::string bad = world_ + "/" + kForms + "BAD.FRM";  // a damaged form
  std::ofstream(bad, std::ios::binary) << "[Form]\r\nFormName=Bad\r\nField1=EDIT, only two\r\n";
  const struct {
    Args args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"show", kShare + "FRM1A.FRM"}, 0, "\"name\": \"Office survey\"", ""},
      {{"show", kShare + "FRM1A.FRM"}, 0, "\"messages\": []", ""},
      {{"check", world_ + "/" + kForms + "FRM2B7.FRM"}, 0, "", ""},
      {{"show", bad}, 0, "\"messages\": [\n    \"Field parsing error!\"\n  ]", ""},
      {{"check", bad}, 1, "", "Field parsing error!"},
      {{"show", "/etc/passwd"}, 2, "", "is not inside the world"},
      {{"show", kShare + "MISSING.FRM"}, 2, "", "the file was not found"},
      {{"frobnicate", "x"}, 2, "", "unknown command or wrong arguments: frobnicate\nusage:"},
      {{"show", ""}, 2, "", "the file name is empty"},
      {{"check", ""}, 2, "", "the file name is empty"},
      {{"export", ""}, 2, "", "the file name is empty"},
      {{"import", ""}, 2, "", "the file name is empty"},
      {{"tasks"}, 0, "\"configurations\": [],\n  \"tasks\": []", ""},  // no database yet
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    EXPECT_EQ(Run(c.args), c.status) << err;
    EXPECT_TRUE(c.out.empty() ? out.empty() : out.find(c.out) != std::string::npos) << out;
    EXPECT_TRUE(c.err.empty() ? err.empty() : err.find(c.err) != std::string::npos) << err;
    if (c.status != 0 && c.err.find('\n') == std::string::npos) {
      EXPECT_TRUE(OneLine(err)) << err;
    }
  }
}

TEST_F(QvccfgTest, ImportSavesANewFormAndExportGivesItBack) {
  ASSERT_EQ(Run({"import", WriteJson(kNewForm)}), 0) << err;
  // The new file's whole name is upper-cased, share included.
  ASSERT_EQ(out.rfind("\\\\CORE1\\QVLOGON\\FRM", 0), 0u) << out;
  const std::string win = Printed();
  ASSERT_EQ(Run({"where", win}), 0);
  std::string bytes = FileBytes(Printed());
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
}

TEST_F(QvccfgTest, OnlyInitMakesAWorld) {
  // A folder without a world: every other command refuses it, says how to make one, and
  // creates nothing.
  std::string none = dir_ + "/none";
  for (const Args& command :
       {Args{"list"}, Args{"groups"}, Args{"tasks"}, Args{"show", kShare + "FRM1A.FRM"},
        Args{"import", WriteJson(kNewForm)}}) {
    EXPECT_EQ(RunIn(none, command), 2) << command[0];
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find("--world " + none + " init"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(none)) << command[0];
  }

  // init refuses a folder holding any name a world puts at its top, in any letter case (a
  // world that lost its description is not made again over what it holds).
  for (const char* name : {"core1", "Admin7", "CONSOLE.DB", "World.ini"}) {
    std::string folder = dir_ + "/taken-" + name;
    fs::create_directories(folder + "/" + name);
    EXPECT_EQ(RunIn(folder, {"init"}), 2) << name;
    EXPECT_TRUE(OneLine(err) && err.find("nothing was changed") != std::string::npos) << err;
    EXPECT_EQ(FolderTree(folder), (Files{{name, "<dir>"}}));
  }
}

// What only the built program shows: an empty world name, a working folder that has gone and
// an output that cannot be written are each one error line and a failed status.
TEST_F(QvccfgTest, TheProgramFailsWithOneLine) {
  const std::string w = world_, cwd = dir_ + "/cwd", gone = dir_ + "/gone";
  const std::string survey = "/i=" + kShare + "FRM1A.FRM";
  const struct {
    const char* program;
    ChildRun run;
    int status;
  } cases[] = {
      {"qvccfg", {.args = {"--world", "", "list"}, .cwd = cwd}, 2},
      {"qvccfg", {.args = {"--world", w, "show", "FRM1A.FRM"}, .cwd = gone, .removeCwd = true}, 2},
      {"qvccfg", {.args = {"--world", "w", "list"}, .cwd = gone, .removeCwd = true}, 2},
      {"qvccfg", {.args = {"--help"}, .stdoutPath = "/dev/full"}, 1},
      {"qvccfg", {.args = {"--help"}}, 0},  // the same, written
      // The viewer prints the page it wrote.
      {"QVCstm32.exe", {.args = {"--world", w, "/d", survey}, .stdoutPath = "/dev/full"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.run.args.back());
    fs::create_directories(c.run.cwd.empty() ? dir_ : c.run.cwd);
    ChildResult r = RunChild(c.program, c.run);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(c.status == 0 ? r.err.empty() : OneLine(r.err)) << r.err;
    if (c.run.stdoutPath == "/dev/full") {
      EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
    }
  }
  EXPECT_TRUE(FolderTree(cwd).empty());
}

// An endless input is read no further than the 16 MB limit; a program that read on would run
// out of the address space it is given (not under the address sanitizer, which needs more).
TEST_F(QvccfgTest, ImportStopsReadingAtTheSizeLimit) {
  const Files before = Tree(kForms);
  ChildRun run{.args = {"--world", world_, "import", "/dev/zero"}, .memoryLimitMb = 2048};
#if defined(__SANITIZE_ADDRESS__)
  run.memoryLimitMb = 0;
#elif defined(__has_feature)
  if (__has_feature(address_sanitizer))
    run.memoryLimitMb = 0;
#endif
  ChildResult r = RunChild("qvccfg", run);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(OneLine(r.err)) << r.err;
  EXPECT_NE(r.err.find("larger than"), std::string::npos) << r.err;
  EXPECT_LT(r.maxRssKb, 200 * 1024);
  EXPECT_EQ(Tree(kForms), before);
}

// Each bad document is refused with one line naming what is wrong, and writes nothing.
TEST_F(QvccfgTest, BadImportsWriteNothing) {
  // kNewForm with the JSON string `from` set to `text`.
  auto with = [](const std::string& from, const std::string& text) {
    return ReplaceAll(kNewForm, from, qv::json::Write(qv::json::Value(text), false));
  };
  const std::string name = "\"Desk check\"", description = "\"Caf\\u00e9 and desk\"";
  const std::pair<std::string, std::string> bad[] = {
      {"{", "line 1"},
      {"[]", "expected an object"},
      {R"({"name": "", "description": "", "entries": []})", "name: "},
      {R"({"name": "a - b", "description": "", "entries": []})", "name: "},
      {R"({"name": "x", "description": "two\nlines", "entries": []})", "description: "},
      {R"({"name": "x", "description": "", "entries": [], "extra": 1})", "\"extra\""},
      {R"({"name": "x", "description": "", "entries": [{"kind": "question", "control": 9,
          "inventoryName": "a", "text": "b", "required": true}]})",
       "entries[0].control: "},
      {R"({"name": "x", "description": "", "entries": [{"kind": "chart"}]})", "entries[0].kind"},
      {R"({"name": "\u4e2d", "description": "", "entries": []})", "name: "},
      {R"({"file": 1, "name": "x", "description": "", "entries": []})", "file: "},
      {R"({"header": {"owner": "x"}, "name": "x", "description": "", "entries": []})",
       "header: unknown member \"owner\""},
      // Texts that would not read back as they are; names that would read back as the sample
      // form's name.
      {with(name, " Office survey"), "name: "},
      {with(name, "Office survey  "), "name: "},
      {with(name, "\"Office survey\""), "name: "},
      {with(name, "'Office survey'"), "name: "},
      {with(name, "OFFICE survey"), "a form named \"Office survey\" already exists"},
      {with(name, std::string("Desk\0", 5)), "name: "},
      {with(name, "Desk\ncheck"), "name: "},
      {with(name, "Desk\x1B[31m"), "name: "},
      {with(description, "\tindented"), "description: "},
      {with(description, "'quoted'"), "description: "},
      {with(description, std::string(8196, 'd')), "description: "},
      {with("\"On the label\"", " note"), "entries[0].description: "},
      {with("\"On the label\"", "\"note\""), "entries[0].description: "},
      {with("\"Chair kind\"", " padded"), "entries[2]: "},
      {with("\"Chair kind\"", "bell\x07"), "entries[2].text: "},
      {with("\"Chair\"", std::string("in\0v", 4)), "entries[2].inventoryName: "},
      {with("\"Arm, soft\"", "line\rbreak"), "entries[2].items[1]: "},
      {with("\"Arm, soft\"", "trailing "), "entries[2]: "},
  };
  const Files before = Tree(kForms);
  for (const auto& [json, where] : bad) {
    EXPECT_EQ(Run({"import", WriteJson(json)}), 2) << where;
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find(where), std::string::npos) << where << " / " << err;
    EXPECT_EQ(out, "");
  }
  EXPECT_EQ(Run({"import", dir_ + "/none.json"}), 2);
  EXPECT_EQ(Tree(kForms), before);

  // Quotation marks inside a field line are plain text and come back as they are.
  ASSERT_EQ(Run({"import", WriteJson(with("\"Chair kind\"", "\"Desk\" number"))}), 0) << err;
  ASSERT_EQ(Run({"export", Printed()}), 0) << err;
  EXPECT_NE(out.find(R"("text": "\"Desk\" number")"), std::string::npos) << out;
}

TEST_F(QvccfgTest, ExportedFormsImportUnderANewName) {
  // Everything but the file, the dates and the name.
  auto essence = [](qv::json::Value v) {
    v["file"] = v["name"] = "";
    v.at("header")["creationDate"] = v.at("header")["lastModifiedDate"] = "";
    return v;
  };
  for (const char* file : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"}) {
    ASSERT_EQ(Run({"export", kShare + file}), 0) << err;
    const qv::json::Value original = Json();
    qv::json::Value renamed = original;
    renamed["name"] = original.at("name").get<std::string>() + " (copy)";
    ASSERT_EQ(Run({"import", WriteJson(qv::json::Write(renamed, true))}), 0) << file << ": " << err;
    ASSERT_EQ(Run({"export", Printed()}), 0) << err;
    EXPECT_EQ(Json().at("name"), renamed.at("name"));
    EXPECT_EQ(essence(Json()), essence(original)) << file << "\n" << out;
  }
}

// Outside text in an error line is escaped; the last row, a damaged console database, is named
// with its reason.
TEST_F(QvccfgTest, ErrorLinesShowOutsideTextEscaped) {
  std::string odd = dir_ + "/odd", w = world_;
  fs::create_directories(odd);
  std::ofstream(odd + "/world.ini", std::ios::binary)
      << "[World]\r\nConsole=A\r\n[Computer A]\r\nDrive \x1B=x\r\n";
  ASSERT_TRUE(qv::WriteHostFileAtomic(w + "/console.db",
                                      "qvnx-console-database 1\nnext 3\nsnapin 1 \"a\\x1B\" \"\" "
                                      "\"\"\nsnapin 2 \"A\\x1b\" \"\" \"\"\n"));
  for (const Args& args : {Args{"--world", w, "show", "\x1B[31m.FRM"},
                           Args{"--world", w, "show", kShare + "\x1B]0;title\x07.FRM"},
                           Args{"--world", w, "where", "\\\\CORE1\\qvlogon\\\x1B[2J"},
                           Args{"--world", w, "import", dir_ + "/\x1B[31m.json"},
                           Args{"--world", w, "script", "\x1B[31m"}, Args{"--world", odd, "list"},
                           Args{"--world", w, "tasks"}}) {
    err.clear();
    EXPECT_EQ(qv::RunQvccfg(args, &out, &err), 2) << args[2];
    EXPECT_TRUE(OneLine(err)) << args[2] << ": " << err;
    EXPECT_NE(err.find("\\x1B"), std::string::npos) << args[2] << ": " << err;
  }
  EXPECT_NE(err.find(w + "/console.db"), std::string::npos) << err;
  EXPECT_NE(err.find("used twice"), std::string::npos) << err;
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
