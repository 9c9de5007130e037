// Calls by dispatch id: IDispatch, the values its arguments and results are made of (VARIANT),
// and qv::com::DispatchMap, the table an object of ours answers Invoke from.
//
// A caller invokes a member of an object by its DISPID, says whether it calls a method, reads
// a property or writes one, and passes the arguments as an array of VARIANTs, the first
// argument first (Windows passes them last first; ours do not). Writing a property passes
// the new value as the one argument. There are no named arguments and no conversion between
// kinds: a member that takes a long must be given a VT_I4.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Bstr.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"

// The kind of value a VARIANT holds. Only the kinds this system passes exist here.
using VARTYPE = WORD;
inline constexpr VARTYPE VT_EMPTY = 0;     // nothing: a void result, an unset value
inline constexpr VARTYPE VT_I2 = 2;        // SHORT
inline constexpr VARTYPE VT_I4 = 3;        // LONG ("long" in a method's description)
inline constexpr VARTYPE VT_BSTR = 8;      // BSTR, owned by the VARIANT
inline constexpr VARTYPE VT_UNKNOWN = 13;  // only with VT_BYREF here
// Added to a kind: the VARIANT holds the address of such a value, which the callee may read
// and write (an "out" parameter). The VARIANT does not own what the address points at.
inline constexpr VARTYPE VT_BYREF = 0x4000;

// One argument or result of a dispatch call. It owns its string (VT_BSTR): copying the
// VARIANT copies the string, and clearing or destroying it frees the string. Addresses
// (VT_BYREF) are copied as they are.
class VARIANT {
 public:
  // VT_EMPTY.
  VARIANT() = default;

  static VARIANT FromLong(LONG value);               // VT_I4
  static VARIANT FromShort(SHORT value);             // VT_I2
  static VARIANT FromString(std::string_view text);  // VT_BSTR: a new string holding `text`
  static VARIANT RefLong(LONG* target);              // VT_BYREF | VT_I4
  static VARIANT RefString(BSTR* target);            // VT_BYREF | VT_BSTR: "string out"
  static VARIANT RefUnknown(IUnknown** target);      // VT_BYREF | VT_UNKNOWN

  VARTYPE Type() const;

  // Each accessor gives the value when the VARIANT holds that kind, and 0 or null when it
  // holds another; it never reads one kind as another.
  LONG Long() const;
  SHORT Short() const;
  // The VARIANT keeps owning the string; may also be null for a VT_BSTR holding no string.
  BSTR String() const;
  // The characters of a VT_BSTR; empty for any other kind.
  std::string Text() const;
  LONG* LongRef() const;
  BSTR* StringRef() const;
  IUnknown** UnknownRef() const;

 private:
  // Type() maps these alternatives, in this order, to their VARTYPEs.
  std::variant<std::monostate, LONG, SHORT, qv::com::Bstr, LONG*, BSTR*, IUnknown**> value_;
};

using DISPID = LONG;
inline constexpr DISPID DISPID_UNKNOWN = -1;
// Stock members of a control.
inline constexpr DISPID DISPID_BORDERSTYLE = -504;
inline constexpr DISPID DISPID_ABOUTBOX = -552;

// What an Invoke does with the member. A caller may combine METHOD and PROPERTYGET when it
// does not know which of the two the member is.
inline constexpr WORD DISPATCH_METHOD = 1;
inline constexpr WORD DISPATCH_PROPERTYGET = 2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 4;

inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDispatch : IUnknown {
  // Stores in *id the DISPID of the member called `name` (letter case ignored) and returns
  // S_OK. An unknown name stores DISPID_UNKNOWN and returns DISP_E_UNKNOWNNAME; a null
  // `name` or `id` gives E_POINTER.
  virtual HRESULT GetIDOfName(const char* name, DISPID* id) = 0;
  // Calls member `id` as `flags` says, with `args` (first argument first). On success
  // returns S_OK (or what the member returned) and stores the member's result, VT_EMPTY for
  // none, in *result when `result` is not null. Fails with DISP_E_MEMBERNOTFOUND when there
  // is no such member or it cannot be called that way, DISP_E_BADPARAMCOUNT when the number
  // of arguments is wrong, DISP_E_TYPEMISMATCH when an argument is of the wrong kind,
  // E_POINTER when an out argument's address is null, or with the member's own error. A call
  // refused for one of the reasons named here leaves *result as it was.
  virtual HRESULT Invoke(DISPID id, WORD flags, std::span<const VARIANT> args, VARIANT* result) = 0;

 protected:
  ~IDispatch() = default;
};

namespace qv::com {

// One member of a dispatch interface: its id and name, how it may be called, the kinds of its
// parameters, and the code that runs it. `call` gets arguments already checked against
// `parameters` and a result slot that is never null and starts VT_EMPTY.
struct DispatchMember {
  DISPID id = DISPID_UNKNOWN;
  std::string name;
  WORD flags = DISPATCH_METHOD;  // the ways it may be called: DISPATCH_* values combined
  std::vector<VARTYPE> parameters;
  std::function<HRESULT(std::span<const VARIANT> args, VARIANT* result)> call;
};

// The members of an object's dispatch interface. An object keeps one and forwards its
// IDispatch methods to it:
//
//   HRESULT Invoke(DISPID id, WORD flags, std::span<const VARIANT> args,
//                  VARIANT* result) override {
//     return map_.Invoke(id, flags, args, result);
//   }
//
// A property that may be read and written is two members with the same id and name: one with
// DISPATCH_PROPERTYGET and no parameters, one with DISPATCH_PROPERTYPUT and one.
class DispatchMap {
 public:
  DispatchMap() = default;
  explicit DispatchMap(std::vector<DispatchMember> members) : members_(std::move(members)) {}

  void Add(DispatchMember member) { members_.push_back(std::move(member)); }

  // IDispatch::Invoke from the members: the first member with `id` that may be called as
  // `flags` asks runs, after the count and the kinds of `args` and the addresses of its out
  // arguments are checked. Returns what the member's code returns, or the errors IDispatch
  // names; E_NOTIMPL for a member without code.
  HRESULT Invoke(DISPID id, WORD flags, std::span<const VARIANT> args, VARIANT* result) const;

  // IDispatch::GetIDOfName from the members' names.
  HRESULT GetIDOfName(const char* name, DISPID* id) const;

 private:
  std::vector<DispatchMember> members_;
};

}  // namespace qv::com
