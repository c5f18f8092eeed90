// frmAbout: the About window, modal to the main window, loaded anew at every opening and laid
// out at its own DPI.
#pragma once

#include <windows.h>

#include "controls.h"

namespace tidelin::win32 {

class FrmAbout {
  public:
    static constexpr const wchar_t* ClassName = L"TidelinFrmAbout";

    // Shows the window and returns when it has been closed; the owner takes no input meanwhile.
    static void ShowModal(HINSTANCE instance, HWND owner);

  private:
    FrmAbout(HINSTANCE instance, HWND owner);
    ~FrmAbout();
    FrmAbout(const FrmAbout&) = delete;
    FrmAbout& operator=(const FrmAbout&) = delete;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Load();
    void CentreOnOwnersScreen();
    void Paint();
    void OpenSite();

    HINSTANCE instance_;
    HWND owner_;
    HWND window_ = nullptr;
    Controls controls_;
    HICON icon_ = nullptr;
    HCURSOR hand_ = nullptr;
    bool open_ = true;
};

}  // namespace tidelin::win32
