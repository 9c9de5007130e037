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
#include "tools/answers/Answers.h"
#include "tools/common/Cp1252.h"
#include "tools/common/Programs.h"
#include "tools/viewer/FormPage.h"

namespace qv {
namespace {

const char kProgram[] = "QVCstm32";
const char kUsage[] = "usage: QVCstm32.exe [--world DIR] /d [/a [/f]] /i=FILE";
// Beside the computers of the world: the pages are what the client's screen would show.
const char kPageFolder[] = "viewer";

bool Fail(std::string* err, const std::string& line) {
  *err = std::string(kProgram) + ": " + line + "\n";
  return false;
}

// The client and file name of a form delivered to a client of the world,
// "\\CLIENT\C$\QVCLIENT\NAME.FRM"; false for any other path.
bool DeliveredTo(const World& world, const std::string& win, std::string* client,
                 std::string* file) {
  static const std::string kFolder = "\\C$\\QVCLIENT\\";
  if (win.rfind("\\\\", 0) != 0)
    return false;
  std::size_t server = win.find('\\', 2);
  if (server == std::string::npos || !EqualsNoCase(win.substr(server, kFolder.size()), kFolder))
    return false;
  *file = win.substr(server + kFolder.size());
  if (file->empty() || file->find('\\') != std::string::npos)
    return false;
  for (const std::string& name : world.Clients()) {
    if (EqualsNoCase(name, win.substr(2, server - 2)))
      *client = name;
  }
  return !client->empty();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  c = ToLowerChar(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "a=1&b=x+y": the pairs of a form body, "+" a blank and "%XX" a byte; a "%" without two hex
// digits stays as it is.
answers::Values ParseFormBody(std::string_view body) {
  auto decode = [](std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '+') {
        out += ' ';
      } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                 HexValue(text[i + 2]) >= 0) {
        out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
      } else {
        out += text[i];
      }
    }
    return out;
  };
  answers::Values pairs;
  for (std::size_t begin = 0; begin < body.size();) {
    std::size_t end = std::min(body.find('&', begin), body.size());
    std::string_view pair = body.substr(begin, end - begin);
    std::size_t equals = pair.find('=');
    if (!pair.empty())
      pairs.emplace_back(decode(pair.substr(0, equals)),
                         equals == std::string_view::npos ? "" : decode(pair.substr(equals + 1)));
    begin = end + 1;
  }
  return pairs;
}

}  // namespace

bool ParseViewerArgs(const std::vector<std::string>& args, std::string* file, std::string* err,
                     ViewerMode* mode) {
  ViewerMode ignored;
  mode = mode != nullptr ? mode : &ignored;
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
      if (EqualsNoCase(word, "/a") || EqualsNoCase(word, "/f")) {
        (ToLowerChar(word[1]) == 'a' ? mode->answer : mode->finish) = true;
        continue;
      }
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
  if (mode->finish && !mode->answer)
    return Fail(err, "/f finishes answering: it goes with /a; " + std::string(kUsage));
  *file = value;  // "" after "/i=": no form yet
  return true;
}

int RunViewer(const std::vector<std::string>& argsIn, std::string* out, std::string* err,
              const ViewerInput& input) {
  std::vector<std::string> args = argsIn;
  std::string dir = TakeWorldOption(&args);
  std::string file;
  ViewerMode mode;
  if (!ParseViewerArgs(args, &file, err, &mode))
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
    if (!world->Root().MakeFolders(pagePath.parent_path().string()) ||
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
  if (!mode.answer) {
    return write(folder / (std::filesystem::path(host).filename().string() + ".html"),
                 RenderFormPage(form.Definition()));
  }

  // The user of a client answers a form delivered there.
  std::string client, fileName;
  if (!DeliveredTo(*world, win, &client, &fileName)) {
    Fail(err, Printable(win) + ": answers are taken for a form delivered to a client, " +
                  "\\\\CLIENT\\C$\\QVCLIENT\\NAME.FRM");
    return 2;
  }
  const std::string& formName = form.Definition().formName;
  AnswerPage page;
  int status = 0;
  if (!mode.finish) {
    // The answers recorded before, to change.
    for (const answers::FormAnswers& recorded : answers::ReadClient(*world, client).answers) {
      if (page.values.empty() && EqualsNoCase(recorded.form, formName))
        page.values = recorded.values;
    }
  } else {
    std::string body;
    if (!input || !input(&body)) {
      Fail(err, "the answers cannot be read");
      return 2;
    }
    answers::Values given = ParseFormBody(body), recorded;
    if (!answers::CheckAnswers(form.Definition(), given, UserLanguage(), &recorded,
                               &page.message)) {
      // The page keeps what the user gave, to put right.
      for (auto& [name, value] : given) {
        std::string nameCp, valueCp;
        text::Utf8ToCp1252Replacing(name, &nameCp);
        text::Utf8ToCp1252Replacing(value, &valueCp);
        page.values.emplace_back(nameCp, valueCp);
      }
      status = 2;
      Fail(err, Printable(text::Cp1252ToUtf8(page.message)));
    } else if (!answers::RecordAnswers(
                   *world, client, {formName, answers::AnsweredNow(), fileName, recorded}, &why)) {
      page.values = recorded;
      page.message = why;
      status = 1;
      Fail(err, client + ": " + Printable(text::Cp1252ToUtf8(why)));
    } else {
      page.values = recorded;
      page.recorded = true;
    }
  }
  int written = write(folder / client / (fileName + ".html"),
                      RenderFormPage(form.Definition(), UserLanguage(), &page));
  return written != 0 ? written : status;
}

}  // namespace qv
