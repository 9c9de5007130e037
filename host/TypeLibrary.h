// The module's type library (its resource TYPELIB 1): the dispatch interface of the control
// with the members a host may call by name, and its event interface.
#pragma once

#include "platform/com/TypeLib.h"

inline constexpr GUID LIBID_QVCCFGLib{
    0xAE399774, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
inline constexpr WORD kQVCCFGLibMajor = 1;
inline constexpr WORD kQVCCFGLibMinor = 0;

const qv::com::TypeLibrary& QVccfgTypeLibrary();
