// COleDataSource: the framework's data source, the side of a drag that offers data. It offers
// formats for delayed rendering: nothing is rendered until someone asks for a format through
// the data source's IDataObject, and then OnRenderData renders it, each time it is asked.
//
//   class CMyData : public COleDataSource {
//     BOOL OnRenderData(LPFORMATETC format, LPSTGMEDIUM medium) override { ... }
//   };
//   CMyData data;
//   data.DelayRenderData(RegisterClipboardFormatA("MY_FORMAT"));
//   DROPEFFECT effect = data.DoDragDrop(DROPEFFECT_COPY);
//
// The data source belongs to its creator and may live on the stack. Its IDataObject is a
// reference-counted object of its own; once the data source is destroyed, that object answers
// E_UNEXPECTED.
#pragma once

#include <vector>

#include "platform/ole/DataObject.h"
#include "platform/ole/DropSource.h"
#include "platform/ui/Wnd.h"

class COleDataSource {
 public:
  COleDataSource();
  virtual ~COleDataSource();
  COleDataSource(const COleDataSource&) = delete;
  COleDataSource& operator=(const COleDataSource&) = delete;

  // Offers `format` for delayed rendering, as `description` says (its cfFormat is replaced by
  // `format`); a null description offers the default: the content, all of it, in global
  // memory. Offering a format again replaces its description.
  void DelayRenderData(CLIPFORMAT format, const FORMATETC* description = nullptr);

  // Runs a drag of the offered data (platform/ole/DragLoop.h) and returns the effect of the
  // drop: one of the `allowedEffects`, or DROPEFFECT_NONE when the drag was cancelled, was
  // dropped where no target took it, or could not start (another drag is running). `source`
  // steers the drag; null uses the framework's COleDropSource. The drag starts at once: there
  // is no mouse to wait for leaving `startRect`, which is not used.
  DROPEFFECT DoDragDrop(DWORD allowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                        const CRect* startRect = nullptr, COleDropSource* source = nullptr);

  // The data object over this source, with a reference of the caller's.
  qv::com::ComPtr<IDataObject> GetDataObject();

  // Renders an offered format into `medium` when someone asks for it. `format` is the
  // request, its tymed limited to the media both the request and the offer allow; `medium`
  // comes holding nothing (TYMED_NULL, hGlobal 0). TRUE with the medium filled; on FALSE, what
  // the medium holds is released. The framework renders nothing: FALSE.
  virtual BOOL OnRenderData(LPFORMATETC format, LPSTGMEDIUM medium);

 private:
  class DataObject;

  // The offer that answers `asked` in *offer; S_OK or the DV_E_ error for the mismatch.
  HRESULT FindOffer(const FORMATETC& asked, FORMATETC* offer) const;
  // Renders `asked` into *medium for the data object's GetData.
  HRESULT Render(const FORMATETC& asked, STGMEDIUM* medium);

  std::vector<FORMATETC> offers_;
  qv::com::ComPtr<DataObject> object_;
};
