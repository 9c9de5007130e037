// CFormEditorDlg: the modal dialog in which a form is made or changed: its name, description
// and ordered questions and page breaks. The dialog owns the form while it lives, publishes
// it as the document's current form, and saves it when the dialog object is destroyed (or at
// once for a preview).
#pragma once

#include <memory>
#include <string>

#include "editor/QuestionDlg.h"
#include "editor/QuestionListBox.h"
#include "forms/CustomDoc.h"
#include "forms/CustomForm.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "resources/ResourceIds.h"

class CFormEditorDlg : public CDialog {
 public:
  static constexpr int kTemplate = IDD_FORM_EDITOR;

  CFormEditorDlg(CWnd* parent, int editMode, const std::string& formName, CCustomDoc* document);
  ~CFormEditorDlg() override;

  int GetModified() const { return m_modified; }
  int GetPreviewed() const { return m_previewed; }

  // Enables the buttons for the list's lines and selection; a selected line marks the form
  // modified.
  void EnableRules();

 protected:
  BOOL OnInitDialog() override;
  std::unique_ptr<CWnd> CreateControl(const DialogItemTemplate& item) override;
  void OnOK() override;  // Close
  void OnCancel() override;

 private:
  CCustomForm& Form() { return *m_form; }
  void RefreshList();
  void TakeName(bool onlyWhenModified);
  void TakeDescription(bool onlyWhenModified);
  void OnEditButton();
  void OnEdit();
  void OnAdd();
  void OnPageBreak();
  void OnMoveUp();
  void OnMoveDown();
  LRESULT OnKey(int key, int index);
  bool NameCheck();
  // Close and Cancel after their first step: the " - " check and the new-file rule.
  void Finish(int result);
  // Saves the form before a preview; false when the save did not store it.
  bool SaveForPreview();
  void OnPreview();

  CButton* m_deleteButton = nullptr;
  CButton* m_editButton = nullptr;
  CQuestionListBox* m_questionList = nullptr;
  CEdit* m_descriptionBox = nullptr;
  CEdit* m_nameBox = nullptr;
  int m_modified = 0;
  std::string m_formName;
  std::string m_filePath;
  CCustomDoc* m_document;
  CQuestionDlg* m_questionDlg = nullptr;
  std::string m_openingName;
  int m_previewed = 0;
  int m_editMode;
  int m_newFile;
  // The file that the first preview of a new form made; later previews rewrite it. The
  // opening name stays "", so Close still checks the name against every form.
  std::string m_previewFile;
  std::unique_ptr<CCustomForm> m_form;
};
