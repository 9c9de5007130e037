#include "tools/viewer/Viewer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <system_error>

#include "forms/CustomForm.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"
#include "tools/common/Programs.h"
#include "tools/viewer/FormPage.h"

namespace qv {
namespace {

const char kProgram[] = "QVCstm32";
const char kUsage[] = "usage: QVCstm32.exe [--world DIR] /d /i=FILE";
// Beside the computers of the world: the pages are what the client's screen would show.
const char kPageFolder[] = "viewer";

bool Fail(std::string* err, const std::string& line) {
  *err = std::string(kProgram) + ": " + line + "\n";
  return false;
}

}  // namespace

bool ParseViewerArgs(const std::vector<std::string>& args, std::string* file, std::string* err) {
  // One string or several: the words are the same either way.
  std::string text;
  for (const std::string& arg : args)
    text += (text.empty() ? "" : " ") + arg;
  std::istringstream words(text);
  bool haveFile = false;
  bool inFile = false;  // words without a switch belong to the path after "/i="
  std::string value;
  for (std::string word; words >> word;) {
    if (word.front() == '/') {
      inFile = false;
      if (EqualsNoCase(word, "/d"))
        continue;
      if (word.size() >= 3 && ToLowerChar(word[1]) == 'i' && word[2] == '=') {
        if (haveFile)
          return Fail(err, "/i= is given twice; " + std::string(kUsage));
        haveFile = inFile = true;
        value = word.substr(3);
        continue;
      }
      return Fail(err, "unknown switch " + Printable(word) + "; " + std::string(kUsage));
    }
    if (!inFile)
      return Fail(err, "unexpected argument " + Printable(word) + "; " + std::string(kUsage));
    value += (value.empty() ? "" : " ") + word;
  }
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  if (!haveFile)
    return Fail(err, "no form file given; " + std::string(kUsage));
  *file = value;  // "" after "/i=": no form yet
  return true;
}

int RunViewer(const std::vector<std::string>& argsIn, std::string* out, std::string* err) {
  std::vector<std::string> args = argsIn;
  std::string dir = TakeWorldOption(&args);
  std::string file;
  if (!ParseViewerArgs(args, &file, err))
    return 2;
  std::string why;
  std::unique_ptr<World> world = World::Open(dir, &why);
  if (world == nullptr) {
    Fail(err, Printable(why));
    return 2;
  }
  CurrentWorld current(world.get());
  std::filesystem::path folder = std::filesystem::path(world->Dir()) / kPageFolder;
  // The pages' folder is the world's: a link that leads it out of the world is not followed.
  auto write = [&](const std::filesystem::path& pagePath, const std::string& page) {
    if (!world->Root().MakeFolders(folder.string()) ||
        !world->Root().Write(pagePath.string(), page)) {
      Fail(err, "cannot write " + Printable(pagePath.string()) + ": " + std::strerror(errno));
      return 1;
    }
    *out += pagePath.string() + "\n";
    return 0;
  };
  if (file.empty())
    return write(folder / kNoFormPage, RenderNoFormPage());

  std::string win, host, bytes;
  if (!FormPath(*world, file, &win, err, kProgram))
    return 2;
  // The profile layer reads a file it cannot open as an empty one; the user should rather
  // hear that the form is unreadable than see an empty page.
  if (!world->MapPath(win, &host, &why) || !ReadHostFile(host, &bytes)) {
    Fail(err, Printable(win) + ": the form file cannot be read");
    return 2;
  }
  CCustomForm form;
  form.SetFilePath(win);
  form.Load();
  return write(folder / (std::filesystem::path(host).filename().string() + ".html"),
               RenderFormPage(form.Definition()));
}

}  // namespace qv
