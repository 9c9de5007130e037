// The fleet engine: what our programs do on the clients that are real machines (a remote
// drive C:, platform/path/World.h) goes through Ansible (`ansible-playbook`, Debian's
// ansible-core) over SSH, one run for all of them, never through a fan-out of our own.
//
// A run is one play: the same tasks on every host, with the variable `qv_root` set to the
// host's folder that plays its drive C:. The run's files (inventory, play, configuration and
// a small callback that prints one JSON line per task result) live in a temporary folder that
// is removed afterwards. The world's settings reach the engine as they are: [World] Forks=,
// SshIdentity=, and the known host keys in <world>/ssh_known_hosts (a host met for the first
// time is recorded there; a changed host key leaves that host not reached).
//
// Tasks are Ansible tasks as JSON. Every text put into a task must be free of "{" and "}"
// (the engine would take them for a template): CheckPlain refuses them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace qv {

class World;

namespace fleet {

// The last thing the engine said of one task on one host.
struct TaskResult {
  std::string state;    // "ok", "failed" or "skipped"
  std::string message;  // the engine's reason when failed
  nlohmann::json data;  // what the task returned
};

struct HostOutcome {
  bool reached = false;                     // the host ran to the end of the play
  std::string reason;                       // why not (the engine's words), when not reached
  std::map<std::string, TaskResult> tasks;  // by task name
};

// Called as hosts end (done: hosts ended so far, of total).
using Progress = std::function<void(int done, int total)>;

// Runs `tasks` on the remote drives of `clients` (remote clients of `world`, named as the world
// names them) in one ansible-playbook run. Every client gets an outcome. False with *why when
// the engine could not be run at all; every outcome then says so.
bool RunPlay(const World& world, const std::vector<std::string>& clients,
             const nlohmann::json& tasks, const Progress& progress,
             std::map<std::string, HostOutcome>* outcomes, std::string* why);

// False with the reason when `text` cannot go into a task as it stands.
bool CheckPlain(std::string_view text, std::string* why);

// A shell-free regular expression, ignoring letter case, for a Windows file pattern ("*.FRM"):
// "*" any run of characters, "?" one character.
std::string PatternRegex(std::string_view pattern);

}  // namespace fleet
}  // namespace qv
