// CProfileFile: the one access class for every INI-style file the system keeps (form files,
// the group list file, distribution scripts).
//
// An object is bound to one file path and reads or writes one value at a time, addressed by
// section and key, through the private-profile functions of platform/profile/Profile.h. The
// object never opens the file itself and caches nothing, so every call sees the current
// contents of the file. The class also carries the three text operations with which the field
// lines of a form file are built: brace quoting, brace unquoting and taking the n-th
// comma-separated token. They use no state of the object.
//
// Text is Windows-1252, one byte per character, so scanning goes byte by byte.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

class CProfileFile {
 public:
  // Size of the read buffer, the terminating zero included: a value read is at most
  // kReadBufferSize - 1 characters, a longer one is cut.
  static constexpr DWORD kReadBufferSize = 8196;

  // Unbound: every string empty, every flag false.
  CProfileFile();
  // Bound to `path` when it is non-empty; unbound otherwise.
  explicit CProfileFile(const std::string& path);

  // Binds the object to `path`. An empty path keeps the old text but marks it invalid, so
  // every read and write fails until a non-empty path is given.
  void SetPath(const std::string& path);
  // A copy of the stored path (also when it is marked invalid).
  std::string GetPath() const;

  // Section and key used by ReadDefault; an empty text clears the setting.
  void SetSection(const std::string& text);
  void SetKey(const std::string& text);

  // Reads key in section. Success: out = the value, returns 1. Returns 0 and leaves out
  // unchanged when the path is invalid or when nothing is read (file, section or key absent,
  // or the value empty).
  int ReadString(const std::string& section, const std::string& key, std::string& out) const;
  // ReadString with the stored section and key; 0 (out unchanged) unless path, section and
  // key are all set.
  int ReadDefault(std::string& out) const;
  // Writes key=value into section, creating file and section when absent (an empty value is
  // written as "key=", never as a deletion). Returns the platform's result (non-zero on
  // success), or 0 without touching the file when the path is invalid.
  int WriteString(const std::string& section, const std::string& key,
                  const std::string& value) const;

  // Wraps a text that contains a comma in "{" and "}"; any other text stays as it is. Braces
  // already in the text are not escaped.
  void QuoteText(std::string& text) const;
  // Keeps only what lies strictly between the first "{" and the last "}" when both exist in
  // that order; otherwise the text stays as it is.
  void UnquoteText(std::string& text) const;
  // Token n (counted from 1) of a comma-separated text in which brace groups, nested ones
  // included, stay whole with their braces. The token is trimmed of white space at both ends.
  // Returns 1 when the token exists (it may be empty), 0 when the text has fewer tokens or is
  // empty; out is "" then. A comma always opens one more token, so "a," has two tokens and
  // the second is empty, while "a" and "a, b " have one and two.
  int GetField(const std::string& text, int n, std::string& out) const;

 private:
  std::string path_;
  std::string defaultSection_;
  std::string defaultKey_;
  bool pathValid_ = false;
  bool sectionSet_ = false;
  bool keySet_ = false;
};
