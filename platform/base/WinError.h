// The Windows error codes that our layers answer with: the registry functions' results and the
// file functions' last error (platform/file/FileApi.h).
#pragma once

#include "platform/base/wintypes.h"

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_NO_MORE_FILES = 18;
inline constexpr LONG ERROR_READ_FAULT = 30;
