// What the POSIX and the Windows file-system layers share, written once (filesystem.cpp).
#pragma once

#include <string>

#include "filesystem.h"

namespace tidelin::fs::shared {

// How many fresh names a copy or a work file tries before giving up.
constexpr int NameAttempts = 100;

// The error for an entry that is not a regular file: a folder, or a link, FIFO, socket or
// device ("system" entries).
[[noreturn]] void RaiseNotRegular(EntryKind kind);

// A fresh path for a copy beside `target`: its folder and a new marked copy name.
std::string NewCopyPathBeside(const std::string& target);

// Runs the hook SetBeforePublishHook installed, if any.
void RunBeforePublishHook(const std::string& target);

}  // namespace tidelin::fs::shared
