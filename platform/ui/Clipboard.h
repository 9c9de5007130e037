// Clipboard formats: a name registered once gets an id from 0xC000 up, the same id for the
// same name (without regard to letter case) for the life of the process.
#pragma once

#include "platform/base/wintypes.h"

// The format's id; 0 for a null or empty name.
UINT RegisterClipboardFormatA(const char* name);

// Copies the name `format` was registered with into `buffer`: at most size - 1 characters and
// a NUL. Returns the number of characters copied; 0, with the buffer untouched, for a format
// that was not registered, a null buffer or a size below 1.
int GetClipboardFormatNameA(UINT format, char* buffer, int size);
