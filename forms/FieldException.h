// CFieldException: an entry error (an entry or item that could not be allocated, a field line
// that lacks a token). Thrown by value and caught by the action that raised it, which shows
// the message in a plain message box and goes on.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "resources/ResourceIds.h"

class CFieldException {
 public:
  // String-table ids of the two kinds.
  static constexpr UINT kMemoryAllocation =
      IDS_FIELD_ALLOCATION_ERROR;                            // "Field memory allocation error!"
  static constexpr UINT kParsing = IDS_FIELD_PARSING_ERROR;  // "Field parsing error!"

  // Loads the message of `messageId` from the string table ("" when the table lacks it).
  explicit CFieldException(UINT messageId);

  const std::string& GetMessage() const { return message_; }
  UINT GetMessageId() const { return messageId_; }

 private:
  std::string message_;
  UINT messageId_;
};
