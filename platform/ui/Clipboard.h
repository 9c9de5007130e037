// Clipboard formats: a name registered once gets an id from 0xC000 up, the same id for the
// same name (without regard to letter case) for the life of the process.
#pragma once

#include "platform/wintypes.h"

// The format's id; 0 for a null or empty name.
UINT RegisterClipboardFormatA(const char* name);
