// The page's protocol: the control's window tree as JSON, and the page's input checked
// before it reaches the framework's queue.
//
// With QV_WEB_FIXTURE set to a file name, the snapshots of the scripted session are also
// written there, by name; console/web/dev/fixture.json is made so and the page's dev mode
// renders it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "console/InputJson.h"
#include "console/SnapshotJson.h"
#include "resources/ResourceIds.h"
#include "tests/host/ScriptedConsole.h"

namespace {

using nlohmann::json;

class SnapshotJson : public ScriptedConsole {
 protected:
  // Posts one input the page would send; the test fails when it is refused.
  static void Send(const json& input) {
    std::string why;
    EXPECT_TRUE(qv::console::PostInputJson(input, &why)) << input.dump() << ": " << why;
  }
  json Take(const char* name) {
    json snapshot = qv::console::SnapshotToJson(qv::ui::TakeSnapshot());
    fixture_[name] = snapshot;
    return snapshot;
  }
  static const json* Find(const json& window, int id) {
    if (!window.contains("children"))
      return nullptr;
    for (const json& child : window["children"]) {
      if (child["id"] == id)
        return &child;
      if (const json* deeper = Find(child, id))
        return deeper;
    }
    return nullptr;
  }
  void WriteFixture() const {
    if (const char* path = std::getenv("QV_WEB_FIXTURE"))
      std::ofstream(path, std::ios::binary) << fixture_.dump(1) << "\n";
  }

  json fixture_ = json::object();
};

TEST_F(SnapshotJson, ASessionAsThePageSeesIt) {
  Open();
  ASSERT_EQ(created_, S_OK);
  const int list = ListHandle();
  const int bar = ToolBar()->Handle();
  // The host shows a status text with a character beyond ASCII (Windows-1252 bytes).
  qv::ui::SetStatusText("B\xFCro \x80 5");
  user_
      .Then([&] {
        Send({{"kind", "select"}, {"target", list}, {"index", Row("Office survey")}});
        Tick();
      })
      .Then([&] {
        json s = Take("list");
        EXPECT_EQ(s["status"], "B\u00FCro \u20AC 5");
        EXPECT_EQ(s["waitCursor"], false);
        EXPECT_TRUE(s["modals"].empty());
        EXPECT_EQ(s["menu"]["open"], false);
        EXPECT_FALSE(s["menu"].contains("items"));
        EXPECT_EQ(s["drag"]["running"], false);
        ASSERT_EQ(s["windows"].size(), 1u);
        const json* view = Find(s["windows"][0], AFX_IDW_PANE_FIRST);
        ASSERT_NE(view, nullptr);
        qv::ui::WindowState state = ListState();
        EXPECT_EQ((*view)["className"], "SysListView32");
        EXPECT_EQ((*view)["handle"], list);
        EXPECT_EQ((*view)["kind"], "icon");
        EXPECT_EQ((*view)["pixels"], true);
        EXPECT_EQ((*view)["rect"]["bottom"], state.rect.bottom);
        EXPECT_EQ((*view)["selection"], Row("Office survey"));
        EXPECT_EQ((*view)["columns"], json({"Form Name", "Form Description"}));
        EXPECT_EQ((*view)["columnWidths"], json(state.columnWidths));
        EXPECT_EQ((*view)["images"][0], "add new form");
        EXPECT_EQ((*view)["rows"].size(), state.rows.size());
        EXPECT_EQ((*view)["rows"][2][0], "Office survey");
        EXPECT_FALSE(view->contains("checks"));  // empty arrays are left out
        const json* toolbar = Find(s["windows"][0], AFX_IDW_TOOLBAR);
        ASSERT_NE(toolbar, nullptr);
        EXPECT_EQ((*toolbar)["buttons"].size(), 12u);
        EXPECT_EQ((*toolbar)["buttons"][1]["id"], 0);  // a separator
        EXPECT_EQ((*toolbar)["buttons"][4]["image"], "refresh");
        EXPECT_EQ((*toolbar)["buttons"][3]["enabled"], true);  // Modify: a form is selected
        // Each button carries its tip before any hover, shown or not.
        EXPECT_EQ((*toolbar)["buttons"][9]["tip"], "Details");
        EXPECT_EQ((*toolbar)["buttons"][9]["tipShown"], false);
        // The page's hover over Details, then its click.
        Send({{"kind", "hover"}, {"target", bar}, {"index", 9}});
      })
      .Then([&] {
        json s = Take("hover");
        const json* toolbar = Find(s["windows"][0], AFX_IDW_TOOLBAR);
        ASSERT_NE(toolbar, nullptr);
        EXPECT_EQ((*toolbar)["buttons"][9]["tipShown"], true);
        Send({{"kind", "click"}, {"target", bar}, {"index", 9}});
      })
      .Then([&] {
        Tick();
        Send({{"kind", "hover"}, {"target", bar}, {"index", -1}});
      })
      .Then([&] {
        json s = Take("details");
        const json* view = Find(s["windows"][0], AFX_IDW_PANE_FIRST);
        EXPECT_EQ((*view)["kind"], "report");
        EXPECT_EQ((*Find(s["windows"][0], AFX_IDW_TOOLBAR))["buttons"][9]["checked"], true);
        Send({{"kind", "key"}, {"target", list}, {"key", VK_APPS}});
      })
      .Then([&] {
        json s = Take("menu");
        EXPECT_EQ(s["menu"]["open"], true);
        EXPECT_EQ(s["menu"]["owner"], list);
        EXPECT_EQ(s["menu"]["align"], "center");  // the view opens it centred
        ASSERT_FALSE(s["menu"]["items"].empty());
        EXPECT_TRUE(s["menu"]["items"][0]["text"].is_string());
        Send({{"kind", "menuPick"}, {"index", -1}});
      })
      .Then([&] {
        Send({{"kind", "select"}, {"target", list}, {"index", -1}});
      })
      .Then([&] { View()->SendMessage(WM_COMMAND, MAKEWPARAM(ID_FORMS_MODIFY, 0)); })
      .Then([&] {
        json s = Take("box");
        ASSERT_EQ(s["modals"].size(), 1u);
        EXPECT_EQ(s["modals"][0]["text"], "Custom Data Forms");
        EXPECT_EQ(s["modals"][0]["pixels"], false);
        const json* text = Find(s["modals"][0], 0xFFFF);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ((*text)["text"], "Select an item.");
        Send({{"kind", "key"}, {"target", s["modals"][0]["handle"]}, {"key", VK_RETURN}});
      })
      .Then([&] {
        Send({{"kind", "doubleClick"}, {"target", list}, {"index", Row("Add new form")}});
      })
      .Then([&] {
        json s = qv::console::SnapshotToJson(qv::ui::TakeSnapshot());
        ASSERT_EQ(s["modals"].size(), 1u);
        const json* edit = Find(s["modals"][0], IDC_FORM_NAME);
        ASSERT_NE(edit, nullptr);
        // Characters Windows-1252 cannot hold become "?"; the rest of the text is kept.
        Send({{"kind", "text"},
              {"target", (*edit)["handle"]},
              {"text", "B\u00FCro \u20AC \u4F60\u597D \U0001F600"}});
      })
      .Then([&] {
        json s = Take("editor");
        ASSERT_EQ(s["modals"].size(), 1u);
        const json& editor = s["modals"][0];
        EXPECT_EQ(editor["text"], "Create a Custom Data Form");
        EXPECT_EQ(editor["rect"]["right"].get<int>() - editor["rect"]["left"].get<int>(), 287);
        const json* edit = Find(editor, IDC_FORM_NAME);
        EXPECT_EQ((*edit)["text"], "B\u00FCro \u20AC ?? ?");  // back as UTF-8
        EXPECT_EQ(qv::ui::TakeSnapshot().Top()->Find(IDC_FORM_NAME)->text, "B\xFCro \x80 ?? ?");
        EXPECT_EQ((*Find(editor, 1))["isDefault"], true);
        // The style as names: what each control draws as, shown, a tab stop.
        EXPECT_EQ((*Find(editor, 1))["kind"], "push");
        EXPECT_EQ((*Find(editor, 1))["tabStop"], true);
        EXPECT_EQ((*Find(editor, 1))["visible"], true);
        EXPECT_EQ((*edit)["kind"], "singleLine");
        EXPECT_EQ((*Find(editor, IDC_QUESTION_LIST))["kind"], "list");
        EXPECT_EQ((*Find(editor, IDC_QUESTION_LIST))["className"], "ListBox");
        qv::ui::CloseWindow();
      })
      .Then([&] { qv::ui::SelectAt(list, Row("New starters")); })
      .Then([&] { qv::ui::KeyAt(list, VK_RETURN); })
      .Then([&] {
        json s = Take("group");
        const json* forms = Find(s["modals"][0], IDC_GROUP_FORMS);
        ASSERT_NE(forms, nullptr);
        EXPECT_EQ((*forms)["lines"].size(), (*forms)["checks"].size());
        qv::ui::Click(IDCANCEL);
      });
  Run();
  WriteFixture();
}

// Each input breaks the shape in one way; none may reach the queue. The list's selection
// shows whether one did: most would select row 1.
TEST_F(SnapshotJson, HostileInputIsRefusedAndPostsNothing) {
  Open();
  ASSERT_EQ(created_, S_OK);
  const int list = ListHandle();
  const json good = {{"kind", "select"}, {"target", list}, {"index", 1}};
  auto with = [&](const char* member, json value) {
    json input = good;
    input[member] = std::move(value);
    return input;
  };
  auto without = [&](json input, const char* member) {
    input.erase(member);
    return input;
  };
  const std::vector<json> hostile = {
      json::array({good}),
      json("select"),
      json(nullptr),
      without(good, "kind"),
      with("kind", "Select"),
      with("kind", "format"),
      with("kind", 2),
      with("target", "1"),
      with("target", 1.5),
      with("target", true),
      with("target", 2147483648LL),
      with("target", -2147483649LL),
      with("target", 18446744073709551615ULL),
      with("index", json::array({1})),
      with("index", nullptr),
      with("to", 4294967297LL),
      with("x", 1e300),
      with("text", 5),
      with("shift", 1),
      with("alt", "yes"),
      with("text", std::string(qv::console::kMaxInputText + 1, 'a')),
      with("text", "\xC3"),              // cut short
      with("text", "\xC0\xAF"),          // overlong
      with("text", "\xED\xA0\x80"),      // a surrogate
      with("text", "\xF4\x90\x80\x80"),  // past U+10FFFF
      with("Kind", "select"),
      with("target\xFF", 1),
      {{"kind", "key"}, {"target", list}},
      {{"kind", "text"}, {"target", list}},
      {{"kind", "menuPick"}},
      {{"kind", "resize"}, {"target", list}, {"index", 10}},
      {{"kind", "columnWidth"}, {"target", list}, {"index", 0}},
      {{"kind", "dragOver"}, {"target", list}, {"x", 1}},
  };
  for (const json& input : hostile) {
    std::string why;
    EXPECT_FALSE(qv::console::PostInputJson(input, &why)) << input.dump(-1, ' ', true);
    EXPECT_FALSE(why.empty()) << input.dump(-1, ' ', true);
    EXPECT_EQ(why.find('\n'), std::string::npos);
  }
  Run();  // a posted one would select a row, or be refused as a problem when carried out
  EXPECT_EQ(ListState().selection, -1);
  // Text at the limit, in Windows-1252 characters, is taken.
  json limit = with("text", std::string(qv::console::kMaxInputText - 3, 'a') + "\u20AC");
  limit["index"] = 2;
  std::string why;
  EXPECT_TRUE(qv::console::PostInputJson(limit, &why)) << why;
  Run();
  EXPECT_EQ(ListState().selection, 2);
}

TEST_F(SnapshotJson, InputReachesTheFrameworkWithItsMembers) {
  Open();
  ASSERT_EQ(created_, S_OK);
  const int list = ListHandle();
  std::string why;
  EXPECT_TRUE(
      qv::console::PostInputJson({{"kind", "select"}, {"target", list}, {"index", 2}}, &why));
  Run();
  EXPECT_EQ(ListState().selection, 2);
  // Input for a window that does not exist is posted and refused when carried out.
  EXPECT_TRUE(qv::console::PostInputJson({{"kind", "click"}, {"target", 987654}}, &why));
  // A drag list box's begin and its move over a line, which the list view refuses.
  EXPECT_TRUE(
      qv::console::PostInputJson({{"kind", "beginDrag"}, {"target", list}, {"index", 1}}, &why))
      << why;
  EXPECT_TRUE(
      qv::console::PostInputJson({{"kind", "dragOver"}, {"target", list}, {"index", 1}}, &why))
      << why;
  qv::ui::RunMessageLoop();
  EXPECT_EQ(qv::ui::InputProblems().size(), 3u);
  qv::ui::ClearInputProblems();
}

// Rows kept from the state before are written as the whole dump writes them: as they were,
// after they changed, in a modal's list too, and when a row reads like a stand-in.
TEST(RowsText, FilledStatesReadAsTheWholeDump) {
  auto dump = [](const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); };
  qv::ui::WindowState list;
  list.className = "SysListView32";
  list.handle = 7;
  list.rows = {{"Office survey", "B\xFCro \x80"}, {"\x01rows-0", "\"quoted\"\t"}};
  qv::ui::WindowState frame;
  frame.className = "AfxFrameOrView";
  frame.children = {list};
  qv::ui::Snapshot snapshot;
  snapshot.windows = {frame};
  qv::console::RowsText rowsText;
  auto filled = [&] {
    std::string text = dump(qv::console::SnapshotToJson(snapshot, &rowsText));
    rowsText.Fill(&text);
    return text;
  };
  auto& rows = snapshot.windows[0].children[0].rows;
  for (int round = 0; round < 4; ++round) {
    if (round == 2)
      rows.push_back({"Asset tag", ""});
    if (round == 3)
      snapshot.modals = {list};
    std::string text = filled();
    EXPECT_EQ(text, dump(qv::console::SnapshotToJson(snapshot))) << "round " << round;
    EXPECT_EQ(json::parse(text)["windows"][0]["children"][0]["rows"][1][0], "\u0001rows-0");
  }
}

}  // namespace
