#include "platform/com/Dispatch.h"

#include <cstring>
#include <iterator>
#include <utility>

namespace {

// What `value` holds when it holds a T, else `otherwise`.
template <class T, class Variant>
T ValueOr(const Variant& value, T otherwise) {
  const T* held = std::get_if<T>(&value);
  return held != nullptr ? *held : otherwise;
}

// An out argument whose address is null.
bool IsNullReference(const VARIANT& arg) {
  switch (arg.Type()) {
    case VT_BYREF | VT_I4:
      return arg.LongRef() == nullptr;
    case VT_BYREF | VT_BSTR:
      return arg.StringRef() == nullptr;
    case VT_BYREF | VT_UNKNOWN:
      return arg.UnknownRef() == nullptr;
    default:
      return false;
  }
}

bool SameNameIgnoringCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b))
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z')
      x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z')
      y = static_cast<char>(y - 'a' + 'A');
    if (x != y)
      return false;
  }
  return true;
}

}  // namespace

VARIANT VARIANT::FromLong(LONG value) {
  VARIANT v;
  v.value_ = value;
  return v;
}

VARIANT VARIANT::FromShort(SHORT value) {
  VARIANT v;
  v.value_ = value;
  return v;
}

VARIANT VARIANT::FromString(std::string_view text) {
  VARIANT v;
  v.value_ = qv::com::Bstr(text);
  return v;
}

VARIANT VARIANT::RefLong(LONG* target) {
  VARIANT v;
  v.value_ = target;
  return v;
}

VARIANT VARIANT::RefString(BSTR* target) {
  VARIANT v;
  v.value_ = target;
  return v;
}

VARIANT VARIANT::RefUnknown(IUnknown** target) {
  VARIANT v;
  v.value_ = target;
  return v;
}

VARTYPE VARIANT::Type() const {
  static constexpr VARTYPE kTypes[] = {
      VT_EMPTY, VT_I4, VT_I2, VT_BSTR, VT_BYREF | VT_I4, VT_BYREF | VT_BSTR, VT_BYREF | VT_UNKNOWN,
  };
  static_assert(std::size(kTypes) == std::variant_size_v<decltype(value_)>);
  return kTypes[value_.index()];
}

LONG VARIANT::Long() const {
  return ValueOr<LONG>(value_, 0);
}

SHORT VARIANT::Short() const {
  return ValueOr<SHORT>(value_, 0);
}

BSTR VARIANT::String() const {
  const qv::com::Bstr* string = std::get_if<qv::com::Bstr>(&value_);
  return string != nullptr ? string->Get() : nullptr;
}

std::string VARIANT::Text() const {
  return qv::com::BstrText(String());
}

LONG* VARIANT::LongRef() const {
  return ValueOr<LONG*>(value_, nullptr);
}

BSTR* VARIANT::StringRef() const {
  return ValueOr<BSTR*>(value_, nullptr);
}

IUnknown** VARIANT::UnknownRef() const {
  return ValueOr<IUnknown**>(value_, nullptr);
}

namespace qv::com {

HRESULT DispatchMap::Invoke(DISPID id, WORD flags, std::span<const VARIANT> args,
                            VARIANT* result) const {
  const DispatchMember* member = nullptr;
  for (const DispatchMember& candidate : members_) {
    if (candidate.id == id && (candidate.flags & flags) != 0) {
      member = &candidate;
      break;
    }
  }
  if (member == nullptr)
    return DISP_E_MEMBERNOTFOUND;
  if (args.size() != member->parameters.size())
    return DISP_E_BADPARAMCOUNT;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i].Type() != member->parameters[i])
      return DISP_E_TYPEMISMATCH;
    if (IsNullReference(args[i]))
      return E_POINTER;
  }
  if (!member->call)
    return E_NOTIMPL;
  VARIANT unused;
  VARIANT* slot = result != nullptr ? result : &unused;
  *slot = VARIANT();
  return member->call(args, slot);
}

HRESULT DispatchMap::GetIDOfName(const char* name, DISPID* id) const {
  if (name == nullptr || id == nullptr)
    return E_POINTER;
  for (const DispatchMember& member : members_) {
    if (SameNameIgnoringCase(member.name, name)) {
      *id = member.id;
      return S_OK;
    }
  }
  *id = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

}  // namespace qv::com
