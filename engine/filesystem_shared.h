// What the POSIX and the Windows file-system layers share, written once (filesystem.cpp), and
// the few platform steps the shared code is built on (replacement_posix.cpp and
// replacement_win32.cpp).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "filesystem.h"

namespace tidelin::fs::shared {

// How many fresh names a copy or a work file tries before giving up.
constexpr int NameAttempts = 100;

// Raises for an entry that is not a regular file: a folder, or a link, FIFO, socket or device
// ("system" entries).
void RequireRegular(const PathInfo& info);
// Error 57 when the file `opened` is not the one a look found just before (`looked`).
void RequireLookedAt(const PathInfo& opened, const PathInfo& looked);

// A fresh path for a copy beside `target`: its folder and a new marked copy name.
std::string NewCopyPathBeside(const std::string& target);

// Whether a file may be a left-over of this user's: a regular file owned by the user
// (`ownedByUser`, as the platform tells it), with one link, and of mode 0600 unless `anyMode`.
// Whether a running conversion still holds it is for the platform to tell.
bool IsOwnLeftOver(const PathInfo& info, bool ownedByUser, bool anyMode);

// Runs the hook SetBeforePublishHook installed, then raises error 57 unless `target` still
// shows the state `read`, or the state that this process's own renames over other names of
// the same file led it to (RecordOwnRename). Returns the state it found.
PathInfo CheckUnchangedBeforePublish(const std::string& target, const PathInfo& read);

// A file with several names (hard links) keeps its other names when one of them is replaced,
// and at those names it then shows one link fewer and a new change time. Each replacement
// over such a file records the file's state just before (`before`, as the check before the
// rename found it) and after it, so that a later replacement of another name of the same file,
// read before or after, tells this program's own renames from another program's edit: only a
// state that the recorded renames alone lead to counts as unchanged. A file left without
// names is forgotten.
void RecordOwnRename(const PathInfo& before, const PathInfo& after);
// Held by PublishOver from the check to the record when the file has other names (`read`
// shows more than one link): the threads of a walk replace the names of one file one at a
// time, so that no thread checks a name between another's rename of a second name and its
// record, which would take the walk's own rename for an edit.
std::unique_lock<std::mutex> LockWhileLinked(const PathInfo& read);

// Sorts a folder's listing in byte order of the names.
void SortByName(std::vector<FolderEntry>& entries);

// Platform steps.
enum class Renamed { Done, NameTaken, OtherVolume };
// Renames the open `file` (at `from`) to `to`, never over an existing entry.
Renamed RenameWithoutReplacing(File& file, const std::string& from, const std::string& to);
// Copies the content of `from` into `to` inside the system where it can; true when all of it
// went, otherwise `copied` tells how much did (the rest is copied through a buffer).
bool CopyInSystem(File& from, File& to, std::int64_t& copied);

}  // namespace tidelin::fs::shared
