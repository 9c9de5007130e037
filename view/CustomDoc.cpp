#include "view/CustomDoc.h"

#include <new>

CCustomDoc::CCustomDoc() : m_pFormMap(new (std::nothrow) CMapStringToString(kFormMapBuckets)) {}

CCustomDoc::~CCustomDoc() {
  if (m_pFormMap != nullptr)
    m_pFormMap->RemoveAll();
}
