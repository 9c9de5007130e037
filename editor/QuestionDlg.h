// CQuestionDlg: one question of a form, added or edited. The dialog writes the question text,
// inventory name, description, control type and required flag straight into the entry it is
// given; for a combo box it then opens the item list dialog on the entry's items.
#pragma once

#include <string>

#include "forms/FormDefinition.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "resources/ResourceIds.h"

class CQuestionDlg : public CDialog {
 public:
  static constexpr int kTemplate = IDD_QUESTION;

  CQuestionDlg(CWnd* parent, int editMode, CFormField* entry,
               const CFormDefinition::FieldList* entries);

  int GetDirty() const { return m_dirty; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Finish, or Next for a combo box
  void OnCancel() override;

 private:
  void OnChange();
  void SetDefaultButtonText();
  // Moves the required flag between the member and the check box.
  void Exchange(bool toControls);
  // 0 when the entry passes, else the error code of the first failing check.
  int Validate();

  CButton* m_editBoxRadio = nullptr;
  CEdit* m_description = nullptr;
  CEdit* m_inventoryName = nullptr;
  CEdit* m_questionText = nullptr;
  int m_required = 0;
  CFormField* m_entry;
  int m_editMode;
  int m_initialised = 0;
  int m_dirty = 0;
  int m_listType = 0;
  const CFormDefinition::FieldList* m_entries;
  int m_controlType = CFormField::kNoControl;
  // What the entry held when the dialog opened, put back when an edit is cancelled.
  std::string m_oldQuestion, m_oldInventory, m_oldDescription;
};
