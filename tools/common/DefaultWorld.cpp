#include "tools/common/DefaultWorld.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"

namespace qv {
namespace {

const char kWorldIni[] =
    "; The network this console sees. Host folders are relative to this file's folder.\r\n"
    "[World]\r\n"
    "Console=ADMIN7\r\n"
    "CoreServer=CORE1\r\n"
    "Database=console.db\r\n"
    "Clients=PC-ANNA,PC-BEN\r\n"
    "\r\n"
    "[Computer CORE1]\r\n"
    "Reachable=1\r\n"
    "Drive D=CORE1/D\r\n"
    "Share qvlogon=D:\\Apps\\Main\\QVLOGON\r\n"
    "Share QVMAIN=D:\\Apps\\Main\r\n"
    "\r\n"
    "[Computer ADMIN7]\r\n"
    "Reachable=1\r\n"
    "Drive C=ADMIN7/C\r\n"
    "\r\n"
    "[Computer PC-ANNA]\r\n"
    "Reachable=1\r\n"
    "Drive C=PC-ANNA/C\r\n"
    "Share C$=C:\\\r\n"
    "\r\n"
    "[Computer PC-BEN]\r\n"
    "Reachable=1\r\n"
    "Drive C=PC-BEN/C\r\n"
    "Share C$=C:\\\r\n";

const char kCoreHive[] =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Arvex\\Quovant\\QVNX\\Install]\r\n"
    "\"Main Path\"=\"D:\\\\Apps\\\\Main\"\r\n";

const char kOfficeSurvey[] =
    "[Header]\r\n"
    "Name=Quovant(R) Custom Data INI file\r\n"
    "Version=1.0\r\n"
    "CreationDate=904651200\r\n"
    "LastModifiedDate=904737600\r\n"
    "[Form]\r\n"
    "FormName=Office survey\r\n"
    "FormDescription=Where and how you work\r\n"
    "Field1=EDIT, Room, Room number, R, \r\n"
    "FieldNote1=As printed on the door\r\n"
    "Field2=LISTBOX, Floor, Which floor?, NR, {Ground, First, Second}\r\n"
    "FieldNote2=\r\n"
    "Field3=PAGEBREAK\r\n"
    "FieldNote3=\r\n"
    "Field4=COMBOBOX, Color, {Color, if any}, NR, {Red, {Blue, dark}, Green}\r\n"
    "FieldNote4=Pick or type one\r\n";

const char kAssetTag[] =
    "[Header]\r\n"
    "Name=Quovant(R) Custom Data INI file\r\n"
    "Version=1.0\r\n"
    "CreationDate=904824000\r\n"
    "LastModifiedDate=904824000\r\n"
    "[Form]\r\n"
    "FormName=Asset tag\r\n"
    "FormDescription=The asset number on this machine\r\n"
    "Field1=EDIT, AssetTag, Asset number, R, \r\n"
    "FieldNote1=Printed on the sticker at the back\r\n"
    "Field2=SEPARATOR\r\n"
    "FieldNote2=\r\n"
    "Field3=LISTBOX, Owner, Who owns the machine?, NR, {Company, Leased, Private}\r\n"
    "FieldNote3=\r\n";

const char kContact[] =
    "[Header]\r\n"
    "Name=Quovant(R) Custom Data INI file\r\n"
    "Version=1.0\r\n"
    "CreationDate=904910400\r\n"
    "LastModifiedDate=904996800\r\n"
    "[Form]\r\n"
    "FormName=Contact details\r\n"
    "FormDescription=How to reach the user of this machine\r\n"
    "Field1=EDIT, UserName, Your name, R, \r\n"
    "FieldNote1=\r\n"
    "Field2=EDIT, Phone, Telephone extension, NR, \r\n"
    "FieldNote2=Four digits\r\n"
    "Field3=COMBOBOX, Department, Department, R, {Sales, Support, Finance}\r\n"
    "FieldNote3=Pick one or type your own\r\n";

const char kGroups[] =
    "[Group1]\r\n"
    "Name=New starters\r\n"
    "Form1=Asset tag\r\n"
    "Form2=Contact details\r\n";

struct File {
  const char* path;
  const char* bytes;
};

const File kFiles[] = {
    {"world.ini", kWorldIni},
    {"CORE1/registry/HKLM.reg", kCoreHive},
    {"CORE1/D/Apps/Main/QVLOGON/FRM1A.FRM", kOfficeSurvey},
    {"CORE1/D/Apps/Main/QVLOGON/FRM2B7.FRM", kAssetTag},
    {"CORE1/D/Apps/Main/QVLOGON/FRM3C.FRM", kContact},
    {"CORE1/D/Apps/Main/QVLOGON/FDGRPLST.GPS", kGroups},
};

// The clients' forms folders start empty: the tasks that send forms fill them.
const char* const kFolders[] = {
    "CORE1/D/Apps/Main/SCRIPTS", "CORE1/registry",     "ADMIN7/C",
    "ADMIN7/registry",           "PC-ANNA/C/QVCLIENT", "PC-BEN/C/QVCLIENT"};

// What a world puts at the top of its folder: the description, the computers' folders and
// the console database named in kWorldIni. The path layer finds names without regard to case,
// so "core1" would be taken for CORE1.
const char* const kTopNames[] = {"world.ini", "CORE1", "ADMIN7", "PC-ANNA", "PC-BEN", "console.db"};

std::unique_ptr<World> g_world;

// The form viewer that the form editor's Preview starts from the forms share.
const char kViewerName[] = "QVCstm32.exe";
const char kViewerFolder[] = "CORE1/D/Apps/Main/QVLOGON";

// Puts a copy of the viewer into the forms share. Our programs are built side by side, so the
// viewer is looked for next to the running program. When it is not there (a program run from
// elsewhere, a build without the viewer) the world is made without it and a Preview reports
// that the file was not found; that is no reason to refuse the world, so it is skipped
// without a word. A viewer that is there but cannot be copied is a failure.
bool CopyViewer(const HostRoot& root, std::string* why) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return true;
  fs::path viewer = self.parent_path() / kViewerName;
  if (!fs::is_regular_file(viewer, ec))
    return true;
  fs::path target = fs::path(root.Folder()) / kViewerFolder / kViewerName;
  std::string bytes;
  if (!ReadHostFile(viewer.string(), &bytes) || !root.MakeFolders(target.parent_path().string()) ||
      !root.Write(target.string(), bytes) ||
      ::fchmodat(AT_FDCWD, target.c_str(), 0755, AT_SYMLINK_NOFOLLOW) != 0) {
    *why = "cannot copy the form viewer to " + target.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool MakeDefaultWorld(const std::string& dir, std::string* why) {
  namespace fs = std::filesystem;
  if (dir.empty()) {
    *why = "the world folder name is empty";
    return false;
  }
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    for (const char* top : kTopNames) {
      if (EqualsNoCase(name, top)) {
        *why = dir + " already holds " + name + " of a world";
        return false;
      }
    }
  }
  if (ec && ec != std::errc::no_such_file_or_directory) {
    *why = "cannot list " + dir + ": " + ec.message();
    return false;
  }
  // The world folder itself goes where it is asked to; everything in it is made through the
  // world's door, so that nothing planted in it leads a write out of it.
  fs::create_directories(dir, ec);
  if (ec) {
    *why = "cannot make " + dir + ": " + ec.message();
    return false;
  }
  HostRoot root(dir);
  for (const char* folder : kFolders) {
    if (!root.MakeFolders((fs::path(dir) / folder).string())) {
      *why = "cannot make " + (fs::path(dir) / folder).string() + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!CopyViewer(root, why))
    return false;
  // world.ini goes last, so a world that was cut short is never taken for a whole one.
  for (int i = static_cast<int>(std::size(kFiles)) - 1; i >= 0; --i) {
    fs::path path = fs::path(dir) / kFiles[i].path;
    if (!root.MakeFolders(path.parent_path().string()) ||
        !root.Write(path.string(), kFiles[i].bytes)) {
      *why = "cannot write " + path.string();
      return false;
    }
  }
  return true;
}

World* OpenWorld(const std::string& dir, std::string* why) {
  std::unique_ptr<World> world = World::Open(dir, why);
  if (world == nullptr)
    return nullptr;
  World::SetCurrent(world.get());
  g_world = std::move(world);
  return g_world.get();
}

}  // namespace qv
