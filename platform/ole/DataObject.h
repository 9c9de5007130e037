// Data transfer: the description of data asked for (FORMATETC), the medium it comes in
// (STGMEDIUM), the object that gives data by format (IDataObject), and COleDataObject, the
// framework's wrapper with which a drop target asks a data object for data.
//
// A format is a clipboard format id (platform/ui/Clipboard.h). The one medium this framework
// fills is global memory (TYMED_HGLOBAL, platform/ole/GlobalMemory.h); the other medium kinds
// exist as bits of a description, so that a request can say it does not take global memory.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/ole/GlobalMemory.h"

using CLIPFORMAT = WORD;

// The kinds of medium, as bits: a description asks for any of those it sets; a medium holds
// one.
inline constexpr DWORD TYMED_NULL = 0;
inline constexpr DWORD TYMED_HGLOBAL = 1;
inline constexpr DWORD TYMED_FILE = 2;
inline constexpr DWORD TYMED_ISTREAM = 4;
inline constexpr DWORD TYMED_ISTORAGE = 8;
inline constexpr DWORD TYMED_GDI = 16;
inline constexpr DWORD TYMED_MFPICT = 32;
inline constexpr DWORD TYMED_ENHMF = 64;

// Which view of the data: the content itself is the only one used.
inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD DVASPECT_THUMBNAIL = 2;
inline constexpr DWORD DVASPECT_ICON = 4;
inline constexpr DWORD DVASPECT_DOCPRINT = 8;

inline constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064);
inline constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068);
inline constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069);
inline constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006B);

struct DVTARGETDEVICE;  // a device to render for; always null here

// A description of data. One made without values is the framework's default: the content of
// format 0, all of it, in global memory.
struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  DVTARGETDEVICE* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;  // all of the data
  DWORD tymed = TYMED_HGLOBAL;
};
using LPFORMATETC = FORMATETC*;

// A medium with data. Its owner gives it back with ReleaseStgMedium.
struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;  // what it holds; TYMED_NULL: nothing
  HGLOBAL hGlobal = 0;       // with TYMED_HGLOBAL: the block
  // When not null, releasing the medium releases this object and leaves the block to it.
  IUnknown* pUnkForRelease = nullptr;
};
using LPSTGMEDIUM = STGMEDIUM*;

// Gives back what a medium holds: releases pUnkForRelease when it is set, otherwise frees the
// global memory block of a TYMED_HGLOBAL medium. The medium holds nothing afterwards
// (TYMED_NULL). A null medium does nothing.
void ReleaseStgMedium(STGMEDIUM* medium);

inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDataObject : IUnknown {
  // Renders the data `format` describes into *medium, which the caller owns afterwards and
  // gives back with ReleaseStgMedium. S_OK with the medium filled. On failure the medium
  // holds nothing: E_INVALIDARG for a null argument, DV_E_FORMATETC for a format the object
  // does not offer, DV_E_DVASPECT, DV_E_LINDEX or DV_E_TYMED for a description of an offered
  // format that does not match it, E_FAIL when rendering failed, E_UNEXPECTED when the data
  // is no longer there.
  virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
  // Whether GetData would be tried for `format`: S_OK, or the error GetData would give
  // before rendering. Renders nothing.
  virtual HRESULT QueryGetData(const FORMATETC* format) = 0;

 protected:
  ~IDataObject() = default;
};

// The framework's way to read a data object: a drop target gets one attached to the dragged
// data. It holds its own reference to the object it is attached to.
class COleDataObject {
 public:
  COleDataObject() = default;
  explicit COleDataObject(IDataObject* data) { Attach(data); }
  COleDataObject(const COleDataObject&) = delete;
  COleDataObject& operator=(const COleDataObject&) = delete;

  // Holds `data` (a reference of its own), letting go of what it held; null holds nothing.
  void Attach(IDataObject* data);
  // Lets go of the object.
  void Release() { data_.Reset(); }

  // The descriptions below default to the content of `format` in global memory; a given
  // description is used with its cfFormat replaced by `format`.

  // TRUE when the object offers `format` as described; FALSE otherwise and when nothing is
  // attached. Renders nothing.
  BOOL IsDataAvailable(CLIPFORMAT format, const FORMATETC* description = nullptr) const;
  // Renders `format` into *medium, which the caller gives back with ReleaseStgMedium. TRUE
  // with the medium filled; FALSE, with the medium holding nothing, when the object refuses
  // or nothing is attached.
  BOOL GetData(CLIPFORMAT format, STGMEDIUM* medium, const FORMATETC* description = nullptr);
  // Renders `format` into a block of global memory that the caller frees with GlobalFree;
  // the block is a copy when the medium is not the caller's to keep. 0 when the object
  // refuses, nothing is attached, or the data does not come in global memory.
  HGLOBAL GetGlobalData(CLIPFORMAT format, const FORMATETC* description = nullptr);

 private:
  qv::com::ComPtr<IDataObject> data_;
};
