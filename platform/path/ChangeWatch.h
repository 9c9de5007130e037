// Tells a process whether a host file may have changed since it last looked, without a
// system call on each look. A watch (inotify) is put on the file and on its folder; the
// kernel raises SIGIO in this process when either sees a change, and the handler only sets a
// flag. A look costs a load of that flag while nothing happens anywhere that is watched.
//
// What a watch sees: writes, truncation, attribute and link-count changes of the file by any
// name, and files created, removed or renamed in its folder (a replacement by rename). It
// does not see a folder above that one being renamed: callers check the path now and then.
//
// When watches cannot be had (no inotify, too many watches, SIGIO taken by someone else),
// Watch() says so and the caller checks the file the slow way.
#pragma once

#include <string>

namespace qv {

struct WatchTicket {
  int file = -1;  // watch descriptors, -1 when not watching
  int folder = -1;
  unsigned long long fileSeen = 0;  // their change counts when the ticket was taken
  unsigned long long folderSeen = 0;
  unsigned long long epoch = 0;  // the count of all changes then
};

// Starts watching the file (or takes a fresh ticket for it): changes before this call are
// forgotten, later ones show in Unchanged(). False (ticket cleared) when it cannot watch.
bool Watch(const std::string& hostPath, WatchTicket* ticket);
// Starts watching a folder's own entries instead of one file: files made, removed, renamed,
// written or changed in their attributes in that folder (not in folders below it), and the
// folder itself moved or removed. As Watch otherwise.
bool WatchFolder(const std::string& hostFolder, WatchTicket* ticket);
// Stops the ticket's watches (shared watches stay while other tickets hold them).
void Unwatch(WatchTicket* ticket);
// True when nothing watched by the ticket has changed since it was taken. A ticket that
// watches nothing is never unchanged.
bool Unchanged(WatchTicket* ticket);

}  // namespace qv
