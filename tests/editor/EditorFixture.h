// A scripted user at the form dialogs: a default world, a document that maps its three forms.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "editor/FormEditorDlg.h"
#include "forms/CustomDoc.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"
#include "tests/TestWorld.h"

class EditorFixture : public ::testing::Test {
 protected:
  static constexpr const char* kShare = "\\\\CORE1\\qvlogon\\";

  EditorFixture() {
    qv::SetResourceModule(&qv::OwnResources());
    qv::ui::ClearInputProblems();
    doc_.GetFormMap()->SetAt("Office survey", std::string(kShare) + "FRM1A.FRM");
    doc_.GetFormMap()->SetAt("Asset tag", std::string(kShare) + "FRM2B7.FRM");
    doc_.GetFormMap()->SetAt("Contact details", std::string(kShare) + "FRM3C.FRM");
    before_ = FormFiles();
  }
  ~EditorFixture() override { qv::SetResourceModule(nullptr); }

  // Runs the editor to its end and destroys it, as the view does.
  void RunEditor(int editMode = 0, const std::string& name = "") {
    {
      CFormEditorDlg dialog(nullptr, editMode, name, &doc_);
      result_ = static_cast<int>(dialog.DoModal());
      modified_ = dialog.GetModified();
      previewed_ = dialog.GetPreviewed();
    }
    EXPECT_EQ(doc_.GetCurrentForm(), nullptr);
    Finished();
  }
  // After a dialog's run: every step was taken, none was missing, all input was carried out.
  void Finished() {
    EXPECT_EQ(user_.Pending(), 0u) << "steps left over";
    EXPECT_EQ(user_.RanOut(), 0) << "the dialogs waited for input that never came";
    for (const std::string& problem : qv::ui::InputProblems())
      ADD_FAILURE() << "input problem: " << problem;
  }

  // Snapshot readers for the topmost window.
  static qv::ui::WindowState Top() {
    qv::ui::Snapshot s = qv::ui::TakeSnapshot();
    return s.Top() != nullptr ? *s.Top() : qv::ui::WindowState();
  }
  static qv::ui::WindowState Control(int id) {
    qv::ui::WindowState top = Top();
    const qv::ui::WindowState* found = top.Find(id);
    EXPECT_NE(found, nullptr) << "no control " << id << " in \"" << top.text << "\"";
    return found != nullptr ? *found : qv::ui::WindowState();
  }
  static std::vector<std::string> Lines(int id) { return Control(id).lines; }
  // The open message box's text, "" when the top window is none.
  static std::string BoxText() {
    qv::ui::WindowState top = Top();
    const qv::ui::WindowState* text = top.Find(0xFFFF);
    return text != nullptr ? text->text : "";
  }
  // A step that expects a message box with `text` and answers it.
  void Box(const std::string& text, int answer = IDOK) {
    user_.Then([text, answer] {
      EXPECT_EQ(BoxText(), text);
      EXPECT_EQ(Top().text, "Form Designer");
      qv::ui::Click(answer);
    });
  }

  // The form files of the share that the test made.
  std::vector<std::string> NewForms() const {
    std::vector<std::string> made;
    for (const std::string& name : FormFiles())
      if (before_.count(name) == 0)
        made.push_back(name);
    return made;
  }
  static std::set<std::string> FormFiles() {
    std::vector<std::string> names = FindFiles(std::string(kShare) + "*.FRM");
    return {names.begin(), names.end()};
  }

  TestWorld world_;
  CCustomDoc doc_;
  qv::ui::ScriptedUser user_;
  std::set<std::string> before_;
  int result_ = 0, modified_ = 0, previewed_ = 0;
};
