#include "forms/CustomDoc.h"

#include <new>

IMPLEMENT_DYNCREATE(CCustomDoc)

CCustomDoc::CCustomDoc() : m_pFormMap(new (std::nothrow) CMapStringToString(kFormMapBuckets)) {}

CCustomDoc::~CCustomDoc() {
  if (m_pFormMap != nullptr)
    m_pFormMap->RemoveAll();
}
