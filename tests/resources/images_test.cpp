// The module's bitmaps as pictures: every image that bitmaps 201, 208 and 204 name has its
// SVG file under resources/, well-formed and of the image's size, and the build has copied
// it beside the programs, where a front end finds it by the same relative path. (The browser
// tests see the about box's icon drawn.)
#include <expat.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/DialogTemplate.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "tests/support/Support.h"

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

namespace {

// The attributes of the root element of an XML text, with its name as "" (why in `error`
// when the text is not well-formed XML).
std::map<std::string, std::string> ParseRoot(const std::string& text, std::string* error) {
  std::map<std::string, std::string> root;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &root);
  XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char** atts) {
    auto& r = *static_cast<std::map<std::string, std::string>*>(data);
    if (!r.empty())
      return;
    r[""] = name;
    for (int i = 0; atts[i] != nullptr; i += 2)
      r[atts[i]] = atts[i + 1];
  });
  if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
    *error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
             std::to_string(XML_GetCurrentLineNumber(parser));
  }
  XML_ParserFree(parser);
  return root;
}

// The picture `file` (relative to resources/) is well-formed SVG of `size` x `size` and the
// build has copied it beside the programs.
void ExpectPicture(const std::string& file, int size) {
  SCOPED_TRACE(file);
  EXPECT_TRUE(fs::path(file).is_relative());
  EXPECT_EQ(fs::path(file).extension(), ".svg");
  const fs::path source = fs::path(QV_RESOURCES) / file;
  ASSERT_TRUE(fs::is_regular_file(source));
  const std::string text = FileBytes(source);
  EXPECT_LT(text.size(), 4096u) << "a small picture";
  std::string error;
  auto root = ParseRoot(text, &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(root[""], "svg");
  EXPECT_EQ(root["xmlns"], "http://www.w3.org/2000/svg");
  const std::string side = std::to_string(size);
  EXPECT_EQ(root["width"] + " " + root["height"], side + " " + side);
  if (root.count("viewBox") != 0) {
    EXPECT_EQ(root["viewBox"], "0 0 " + side + " " + side);
  }
  EXPECT_EQ(FileBytes(ProgramFolder() / file), text) << "not copied beside the programs";
}

TEST(ModuleImages, EveryImageHasAWellFormedPictureOfItsSize) {
  const Texts list = {"add new form", "form", "group"};
  const struct {
    int id, size;
    Texts names;
  } bitmaps[] = {
      {IDB_LARGE_IMAGES, 32, list},
      {IDB_SMALL_IMAGES, 16, list},
      {IDR_FORMS,
       16,
       {"schedule", "delete", "modify", "refresh", "large icons", "small icons", "list", "details",
        "multiple forms"}},
  };
  struct Module {
    Module() { qv::SetResourceModule(&qv::OwnResources()); }
    ~Module() { qv::SetResourceModule(nullptr); }
  } module;
  for (const auto& expected : bitmaps) {
    SCOPED_TRACE(expected.id);
    const BitmapResource* bitmap = qv::CurrentResourceModule()->FindBitmap(expected.id);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->images, expected.names);
    ASSERT_EQ(bitmap->files.size(), expected.names.size());
    EXPECT_EQ(bitmap->height, expected.size);
    EXPECT_EQ(bitmap->width, expected.size * static_cast<int>(expected.names.size()));
    EXPECT_EQ(std::set<std::string>(bitmap->files.begin(), bitmap->files.end()).size(),
              bitmap->files.size())
        << "each image has a picture of its own";
    for (const std::string& file : bitmap->files)
      ExpectPicture(file, expected.size);
  }
}

}  // namespace
