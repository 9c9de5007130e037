// CCustomDoc: the data that the view, the form editor and the group dialog share: the form
// an open form editor works on, and the form map from form name to the full path of its form
// file. The document is never stored in a file of its own.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Document.h"
#include "platform/ui/MapStringToString.h"

class CCustomForm;

class CCustomDoc : public CDocument {
  DECLARE_DYNCREATE(CCustomDoc)

 public:
  static constexpr UINT kFormMapBuckets = 19;

  CCustomDoc();
  ~CCustomDoc() override;
  CCustomDoc(const CCustomDoc&) = delete;
  CCustomDoc& operator=(const CCustomDoc&) = delete;

  // The form of the open form editor, not owned; null when no editor is open.
  CCustomForm* GetCurrentForm() const { return m_pCurrentForm; }
  void SetCurrentForm(CCustomForm* form) { m_pCurrentForm = form; }
  void ClearCurrentForm() { m_pCurrentForm = nullptr; }

  // Form name -> full path of the form file; names are compared exactly. Null only when the
  // map could not be made.
  CMapStringToString* GetFormMap() const { return m_pFormMap.get(); }

  // Why the last fill of the form map could not list the forms share (the listing's error
  // code, see platform/file/FileApi.h); 0 when it was listed. A map that missed the share is
  // not the share's contents: nothing may be written from it as if the share were empty.
  DWORD GetFormMapListingError() const { return m_listingError; }
  void SetFormMapListingError(DWORD error) { m_listingError = error; }

 private:
  CCustomForm* m_pCurrentForm = nullptr;
  DWORD m_listingError = 0;
  std::unique_ptr<CMapStringToString> m_pFormMap;
};
