// The system's own dialogs, in their wide forms, so that any name Windows can hold comes back
// intact: the message box, the file chooser and the folder chooser, as the main window's
// logic asks for them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "form1_view.h"

namespace tidelin::win32 {

// A message box titled with the application's title, owned by `owner` (may be none).
app::Form1View::Answer ShowMessageBox(HWND owner, const std::string& text,
                                      app::Form1View::Icon icon, app::Form1View::Buttons buttons,
                                      bool yesIsDefault);
// The open dialog on `filters`, opened in `folder` on the filter `filterIndex` (counted from
// 0), which receives the one the user left selected. The accepted name, or empty on cancel.
std::string ChooseFile(HWND owner, const std::string& title,
                       const std::vector<app::FileFilter>& filters, int& filterIndex,
                       const std::string& folder);
// The folder dialog: the accepted folder's full path, or empty on cancel.
std::string ChooseFolder(HWND owner, const std::string& title);

}  // namespace tidelin::win32
