// What the parts of a drag share: the effects a drop can have, the state of the mouse
// buttons and keys a drag reports, and the answers of a drop source.
//
// A drag is started by a data source (platform/ole/DataSource.h), steered by its drop source
// (platform/ole/DropSource.h) and ends on a drop target (platform/ole/DropTarget.h) or
// nowhere; platform/ole/DragLoop.h runs it.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/com/HResult.h"

using DROPEFFECT = DWORD;
using SCODE = HRESULT;

// What a drop does with the data, as bits: a source allows any of them, a target answers one.
inline constexpr DROPEFFECT DROPEFFECT_NONE = 0;
inline constexpr DROPEFFECT DROPEFFECT_COPY = 1;
inline constexpr DROPEFFECT DROPEFFECT_MOVE = 2;
inline constexpr DROPEFFECT DROPEFFECT_LINK = 4;

// The left mouse button, held down while the drag runs.
inline constexpr DWORD MK_LBUTTON = 0x0001;

// A drop source's answers: drop now, cancel now. (S_OK from QueryContinueDrag lets the drag
// go on.)
inline constexpr SCODE DRAGDROP_S_DROP = 0x00040100;
inline constexpr SCODE DRAGDROP_S_CANCEL = 0x00040101;
