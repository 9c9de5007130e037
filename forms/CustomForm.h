// CCustomForm: one form as a whole, as the form editor holds it: the definition, the values
// of the file header, the profile file bound to the form's file, and the two save flags.
#pragma once

#include <memory>
#include <string>

#include "forms/FormDefinition.h"
#include "forms/ProfileFile.h"

class CCustomForm {
 public:
  // Creates the definition and an unbound profile file; header values empty, save on destroy
  // false, new form true. When either part cannot be allocated the program ends after a
  // message box.
  CCustomForm();
  CCustomForm(const CCustomForm&) = delete;
  CCustomForm& operator=(const CCustomForm&) = delete;
  // Saves first when save on destroy is set; then destroys the definition and profile file.
  ~CCustomForm();

  // Binds the profile file to the path of an existing form file.
  void SetFilePath(const std::string& path);
  // The bound path; after the first save of a new form, the file that the save created.
  std::string GetFilePath() const;
  void SetSaveFlags(bool saveOnDestroy, bool newForm);
  bool GetSaveOnDestroy() const { return saveOnDestroy_; }
  bool IsNewForm() const { return newForm_; }

  // Fills the form from its bound file; values missing in the file keep what they held.
  void Load();
  // Writes the whole file anew. A new form gets a new file "FRM<hex>.FRM" in the forms share
  // and its creation date; an existing form's file is deleted and written again, in one
  // replacement on disk. Returns 1 when the file was stored; 0 when there is no profile
  // file, or when no new file could be made or its contents could not be stored (a stop box
  // tells so; an existing file keeps what it held, and a new file made by this save is
  // removed again).
  int Save();

  CFormDefinition& Definition() { return *definition_; }
  const CFormDefinition& Definition() const { return *definition_; }

  const std::string& GetHeaderName() const { return headerName_; }
  void SetHeaderName(const std::string& text) { headerName_ = text; }
  const std::string& GetVersion() const { return version_; }
  void SetVersion(const std::string& text) { version_ = text; }
  const std::string& GetCreationDate() const { return creationDate_; }
  void SetCreationDate(const std::string& text) { creationDate_ = text; }
  const std::string& GetLastModifiedDate() const { return lastModifiedDate_; }
  void SetLastModifiedDate(const std::string& text) { lastModifiedDate_ = text; }

 private:
  // Makes the new file of a new form and binds the profile file to it; false after the save
  // error box.
  bool CreateFormFile();
  // The stop box of a form that could not be saved.
  void ShowSaveError(const char* server) const;

  std::unique_ptr<CFormDefinition> definition_;
  std::string headerName_;
  std::string version_;
  std::string creationDate_;
  std::string lastModifiedDate_;
  std::unique_ptr<CProfileFile> profileFile_;
  bool saveOnDestroy_ = false;
  bool newForm_ = true;
};
