// The framework's own string ids: the texts of the buttons and captions the framework makes
// itself (message boxes, the property frame). A resource module may hold them in its string
// table like any other string, so a language module gives them in its language; where the
// current module has none, the framework shows its own English (qv::LoadFrameworkString).
//
// They lie in a range of their own, 0xE100 to 0xE1FF, clear of the system's strings and
// commands and of the framework's command ids.
#pragma once

#include "platform/base/wintypes.h"

inline constexpr UINT AFX_IDS_OK = 0xE100;             // "OK"
inline constexpr UINT AFX_IDS_CANCEL = 0xE101;         // "Cancel"
inline constexpr UINT AFX_IDS_YES = 0xE102;            // "&Yes"
inline constexpr UINT AFX_IDS_NO = 0xE103;             // "&No"
inline constexpr UINT AFX_IDS_APPLY = 0xE104;          // "&Apply"
inline constexpr UINT AFX_IDS_PROPERTIES = 0xE105;     // "Properties"
inline constexpr UINT AFX_IDS_PROPERTIES_OF = 0xE106;  // "%1 Properties"
inline constexpr UINT AFX_IDS_FRAMEWORK_FIRST = 0xE100;
inline constexpr UINT AFX_IDS_FRAMEWORK_LAST = 0xE1FF;
