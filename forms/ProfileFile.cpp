#include "forms/ProfileFile.h"

#include <vector>

#include "platform/profile/Profile.h"

namespace {

// Position of the comma that ends the token starting at `pos`, or text.size() when the
// token runs to the end. Brace groups are stepped over whole, nested groups counted; an
// unmatched "{" takes the rest of the text into the token.
std::size_t EndOfToken(const std::string& text, std::size_t pos) {
  int depth = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth > 0)
        --depth;
    } else if (c == ',' && depth == 0) {
      return pos;
    }
  }
  return pos;
}

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void Trim(std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin]))
    ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1]))
    --end;
  text.erase(end);
  text.erase(0, begin);
}

}  // namespace

CProfileFile::CProfileFile() = default;

CProfileFile::CProfileFile(const std::string& path) {
  SetPath(path);
}

void CProfileFile::SetPath(const std::string& path) {
  pathValid_ = !path.empty();
  if (pathValid_)
    path_ = path;
}

std::string CProfileFile::GetPath() const {
  return path_;
}

void CProfileFile::SetSection(const std::string& text) {
  sectionSet_ = !text.empty();
  defaultSection_ = text;
}

void CProfileFile::SetKey(const std::string& text) {
  keySet_ = !text.empty();
  defaultKey_ = text;
}

int CProfileFile::ReadString(const std::string& section, const std::string& key,
                             std::string& out) const {
  if (!pathValid_)
    return 0;
  // One buffer for every read: the module runs on its host's one user-interface thread. (Not
  // thread_local: a thread-local object with a destructor keeps the module loaded.)
  static std::vector<char> buffer(kReadBufferSize, '\0');
  DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                         kReadBufferSize, path_.c_str());
  if (count == 0)
    return 0;
  out = buffer.data();
  return 1;
}

int CProfileFile::ReadDefault(std::string& out) const {
  if (!pathValid_ || !sectionSet_ || !keySet_)
    return 0;
  return ReadString(defaultSection_, defaultKey_, out);
}

int CProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) const {
  if (!pathValid_)
    return 0;
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
}

void CProfileFile::QuoteText(std::string& text) const {
  if (text.find(',') != std::string::npos)
    text = "{" + text + "}";
}

void CProfileFile::UnquoteText(std::string& text) const {
  std::size_t first = text.find('{');
  std::size_t last = text.rfind('}');
  if (first == std::string::npos || last == std::string::npos || first >= last)
    return;
  text = text.substr(first + 1, last - first - 1);
}

int CProfileFile::GetField(const std::string& text, int n, std::string& out) const {
  out.clear();
  if (text.empty())
    return 0;
  std::size_t pos = 0;
  for (int skipped = 1; skipped < n; ++skipped) {
    pos = EndOfToken(text, pos);
    if (pos >= text.size())
      return 0;  // no comma left: there is no token n
    ++pos;       // step over the comma
  }
  // Right after a final comma the token exists and is empty.
  std::size_t end = EndOfToken(text, pos);
  out = text.substr(pos, end - pos);
  Trim(out);
  return 1;
}
