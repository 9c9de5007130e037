#include "view/CustomDoc.h"

#include <new>

CCustomDoc::CCustomDoc() : m_pFormMap(new (std::nothrow) FormMap(kFormMapBuckets)) {}

CCustomDoc::~CCustomDoc() {
  if (m_pFormMap != nullptr)
    m_pFormMap->clear();
}
