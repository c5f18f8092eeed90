// Leads the folder chooser (SHBrowseForFolderW's tree) to a folder, level by level, as a
// user opens it.
#pragma once

#include <windows.h>

#include <string>

#include "window_driver.h"

namespace tidelin::gui_test {

// Selects `path` (a folder on a drive, "T:\\a\\b") in the tree of the folder chooser `chooser`
// of `program`, and waits until the tree shows it selected.
void SelectInTree(Program& program, HWND chooser, const std::wstring& path);

}  // namespace tidelin::gui_test
