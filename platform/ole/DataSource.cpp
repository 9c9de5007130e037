#include "platform/ole/DataSource.h"

#include "platform/ole/DragLoop.h"

class COleDataSource::DataObject final : public qv::com::Object<IDataObject> {
 public:
  explicit DataObject(COleDataSource* source) : source_(source) {}
  // The data source is going: from here on the object has no data.
  void Orphan() { source_ = nullptr; }

  HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr)
      return E_INVALIDARG;
    *medium = STGMEDIUM();
    if (source_ == nullptr)
      return E_UNEXPECTED;
    return source_->Render(*format, medium);
  }

  HRESULT QueryGetData(const FORMATETC* format) override {
    if (format == nullptr)
      return E_INVALIDARG;
    if (source_ == nullptr)
      return E_UNEXPECTED;
    FORMATETC offer;
    return source_->FindOffer(*format, &offer);
  }

 protected:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDataObject)
      return static_cast<IDataObject*>(this);
    return nullptr;
  }

 private:
  COleDataSource* source_;
};

COleDataSource::COleDataSource() : object_(qv::com::MakeObject<DataObject>(this)) {}

COleDataSource::~COleDataSource() {
  object_->Orphan();
}

void COleDataSource::DelayRenderData(CLIPFORMAT format, const FORMATETC* description) {
  FORMATETC offer = description != nullptr ? *description : FORMATETC();
  offer.cfFormat = format;
  for (FORMATETC& existing : offers_) {
    if (existing.cfFormat == format) {
      existing = offer;
      return;
    }
  }
  offers_.push_back(offer);
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD allowedEffects, const CRect* /*startRect*/,
                                      COleDropSource* source) {
  COleDropSource framework;
  std::vector<CLIPFORMAT> formats;
  for (const FORMATETC& offer : offers_)
    formats.push_back(offer.cfFormat);
  return qv::ole::RunDrag(object_.Get(), source != nullptr ? source : &framework, allowedEffects,
                          formats);
}

qv::com::ComPtr<IDataObject> COleDataSource::GetDataObject() {
  return qv::com::ComPtr<IDataObject>(object_.Get());
}

BOOL COleDataSource::OnRenderData(LPFORMATETC /*format*/, LPSTGMEDIUM /*medium*/) {
  return FALSE;
}

HRESULT COleDataSource::FindOffer(const FORMATETC& asked, FORMATETC* offer) const {
  for (const FORMATETC& candidate : offers_) {
    if (candidate.cfFormat != asked.cfFormat)
      continue;
    if ((candidate.dwAspect & asked.dwAspect) == 0)
      return DV_E_DVASPECT;
    if (candidate.lindex != asked.lindex)
      return DV_E_LINDEX;
    if ((candidate.tymed & asked.tymed) == 0)
      return DV_E_TYMED;
    *offer = candidate;
    return S_OK;
  }
  return DV_E_FORMATETC;
}

HRESULT COleDataSource::Render(const FORMATETC& asked, STGMEDIUM* medium) {
  FORMATETC offer;
  HRESULT found = FindOffer(asked, &offer);
  if (FAILED(found))
    return found;
  FORMATETC request = asked;
  request.tymed &= offer.tymed;
  *medium = STGMEDIUM();
  // A rendering that says it failed, or filled the medium with nothing or with something not
  // asked for, gives nothing: what it put into the medium goes back.
  if (OnRenderData(&request, medium) == FALSE || (medium->tymed & request.tymed) == 0 ||
      (medium->tymed == TYMED_HGLOBAL && medium->hGlobal == 0)) {
    ReleaseStgMedium(medium);
    return E_FAIL;
  }
  return S_OK;
}
