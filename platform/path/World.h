// The world: one host directory that stands for the network this console sees.
//
// The directory holds "world.ini", a profile-style description of the computers (their
// drives and shares), of the computer this console runs on and of the core server, plus the
// host folders that the drives map onto, the registry hives and the console database:
//
//   [World]
//   Console=ADMIN7            ; what GetComputerNameA answers
//   CoreServer=CORE1          ; what the task library's GetCoreServerName answers (empty: none)
//   Database=console.db       ; the task library's console database, relative to the world
//   Clients=PC-ANNA,PC-BEN    ; the client computers that tasks run on (none when missing)
//   SshIdentity=keys/id_ed25519  ; the private key for remote drives (inside the world or absolute)
//   Forks=20                  ; how many remote machines the engine serves at once (1-200)
//
//   [Computer CORE1]
//   Reachable=1               ; 0: every file and registry access to it fails
//   Drive D=CORE1/D           ; drive D: of CORE1 is this host folder, relative to the world
//   Share qvlogon=D:\Apps\Main\QVLOGON
//   Share QVMAIN=D:\Apps\Main
//
// A client that is a real machine names its drive C: "Drive C=ssh://USER@HOST[:PORT]/FOLDER":
// that absolute folder on that machine plays its drive C:. Such a machine is reached only
// through the fleet engine (tools/fleet); here its drive C: maps onto a local mirror,
// <world>/remote/<computer>/C, which holds what the engine last fetched from it. The host keys
// the engine has met are in <world>/ssh_known_hosts.
//
// Registry hives of a computer lie in <world>/<computer>/registry/ (HKLM.reg, HKCU.reg), in
// the REGEDIT4 text format.
//
// Windows paths are mapped onto host paths here and nowhere else. A path is refused, never
// followed, when it names an unknown or unreachable computer, share or drive, climbs above
// its share or drive root with "..", holds a NUL, a control character or one of < > : " / | ?
// *, ends a name in a blank or a dot, or meets a symbolic link on its way below its drive
// folder; and a drive folder that resolves (links followed) to a place outside the world
// folder is refused as a whole: no host file outside the world is ever reached.
//
// Computer names are Windows names: at most 15 characters (kMaxComputerName).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/path/HostFile.h"

namespace qv {

struct WorldShare {
  std::string name;                     // as written in world.ini
  char drive = 0;                       // upper-case drive letter on its computer
  std::vector<std::string> components;  // folders below the drive root
};

// Drive C: of a real machine, reached over SSH.
struct RemoteDrive {
  std::string user;
  std::string host;  // a host name or an IPv4 address
  int port = 22;
  std::string folder;  // absolute, no trailing "/" (except "/" itself)
};

struct WorldComputer {
  std::string name;  // as written in world.ini; compared without regard to case
  bool reachable = true;
  bool remote = false;  // drive C: is `remoteDrive`, mirrored locally
  RemoteDrive remoteDrive;
  std::vector<std::pair<char, std::string>> drives;  // upper-case letter, absolute host folder
  std::vector<WorldShare> shares;
};

class World {
 public:
  static constexpr const char* kDescriptionFile = "world.ini";
  static constexpr std::size_t kMaxComputerName = 15;

  // Reads <dir>/world.ini. Returns null and sets *why when it is missing or malformed.
  static std::unique_ptr<World> Open(const std::string& dir, std::string* why);

  // The world that the platform functions act on; null until a program sets one.
  static World* Current();
  // Makes `world` current (it must outlive its use; null clears). Every change bumps
  // Generation(), so caches keyed by Windows paths know to start afresh.
  static void SetCurrent(World* world);
  static unsigned Generation();

  const std::string& Dir() const { return dir_; }
  const std::string& ConsoleName() const { return console_; }
  const std::string& CoreServerName() const { return core_; }
  std::string DatabaseHostPath() const;
  // Host folder of a computer's registry hives; empty for an unknown computer.
  std::string RegistryDir(std::string_view computer) const;

  const WorldComputer* FindComputer(std::string_view name) const;
  // The remote drive C: of `computer`; null when it has none (or is no computer).
  const RemoteDrive* RemoteDriveOf(std::string_view computer) const;
  // The private key for remote drives (a host path; empty: ssh's own choice).
  const std::string& SshIdentity() const { return sshIdentity_; }
  std::string KnownHostsPath() const { return dir_ + "/ssh_known_hosts"; }
  int Forks() const { return forks_; }
  // The client computers, in the order [World] Clients lists them, each named as its
  // [Computer] section is (Open refuses a client that is no computer of the world).
  const std::vector<std::string>& Clients() const { return clients_; }

  // Maps a Windows path ("D:\Apps\X" on this console's computer, "\\CORE1\qvlogon\X") onto a
  // host path. Existing names are found without regard to case and keep their case; a name
  // that does not exist yet is used as written. Returns false and sets *why when refused.
  bool MapPath(std::string_view winPath, std::string* hostPath, std::string* why) const;

  // Maps a drive path ("C:\QVCLIENT\X.FRM") as `computer` sees its own drives, with the
  // same refusals as MapPath. A network path, or one without a drive, is refused: what a task
  // does on a client must stay on that client's drives. MapPath and MapOnComputer may be
  // called from several threads at once.
  bool MapOnComputer(std::string_view computer, std::string_view drivePath, std::string* hostPath,
                     std::string* why) const;

  // The Windows path of a host path inside the world: a drive path on this console's
  // computer, a share path on any other (the share nearest to the file). False when the host
  // path lies outside every drive of the world.
  bool HostToWindows(const std::string& hostPath, std::string* winPath) const;

  // True when the folder of `hostPath`, after resolving every link, lies inside the world
  // folder. The file itself need not exist.
  bool Contains(const std::string& hostPath) const { return root_.Contains(hostPath); }
  // The door through which every host file of the world that is opened by its own path
  // (registry hives, the console database, the task record, the viewer's pages) or by a
  // mapped Windows path is read, written, made or removed.
  const HostRoot& Root() const { return root_; }

  // A world held in memory, without world.ini, for one computer whose drive C: is the host
  // folder `driveFolder`, which is the world folder too: the computer is this console and the
  // only client, shares C$ (C:\), and knows no core server. Every rule above holds as in a
  // world that is read. `computer` empty: the host's name up to its first dot, its letters
  // upper-cased, what a computer name cannot hold made "-", cut to kMaxComputerName. Null
  // with *why when the name is not a computer name (1 to 15 letters, digits and hyphens) or
  // the folder is no existing directory, or is itself a symbolic link.
  static std::unique_ptr<World> ForClientDrive(const std::string& driveFolder,
                                               const std::string& computer, std::string* why);

 private:
  // Maps "X:\..." on the computer (MapPath's drive branch).
  bool MapDrivePath(const WorldComputer* computer, std::string_view winPath, std::string* hostPath,
                    std::string* why) const;
  // Maps the names below the root of a drive of the computer.
  bool MapOn(const WorldComputer* computer, char drive, const std::vector<std::string>& parts,
             std::string* hostPath, std::string* why) const;
  // Maps the names below a drive folder onto the host path (MapPath's second half).
  bool MapBelow(const std::string& computer, char drive, const std::string& driveFolder,
                const std::vector<std::string>& parts, std::string* hostPath,
                std::string* why) const;

  // Folders found a moment ago, by drive folder and names folded to lower case: mapping the
  // files of one folder checks the folder's way once, not once per file. A memo is used for
  // kFolderCheckNanos; after that the way is walked and checked again.
  struct FolderMemo {
    std::string host;
    long long checked = 0;  // monotonic nanoseconds
  };
  static constexpr long long kFolderCheckNanos = 50'000'000;
  static constexpr std::size_t kMaxFolderMemos = 4096;
  mutable std::unordered_map<std::string, FolderMemo> folders_;
  mutable std::mutex foldersMutex_;  // guards folders_

  std::string dir_;
  std::string realDir_;  // dir_ with every link resolved
  HostRoot root_{""};
  std::string console_;
  std::string core_;
  std::string database_;
  std::string sshIdentity_;
  int forks_ = 20;
  std::vector<WorldComputer> computers_;
  // The first computer of each name, by its name in lower case: a world may have thousands.
  std::unordered_map<std::string, std::size_t> computerIndex_;
  std::vector<std::string> clients_;
};

// Makes a world current for the life of the object and puts back the one before.
class CurrentWorld {
 public:
  explicit CurrentWorld(World* world) : before_(World::Current()) { World::SetCurrent(world); }
  ~CurrentWorld() { World::SetCurrent(before_); }
  CurrentWorld(const CurrentWorld&) = delete;
  CurrentWorld& operator=(const CurrentWorld&) = delete;

 private:
  World* before_;
};

}  // namespace qv
