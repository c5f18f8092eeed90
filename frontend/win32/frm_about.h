// frmAbout: the About window, modal to the main window, loaded anew at every opening.
#pragma once

#include <windows.h>

namespace tidelin::win32 {

class FrmAbout {
public:
    static constexpr const wchar_t* ClassName = L"TidelinFrmAbout";
    static constexpr const char* Author = "© 2026 Команда Tidelin";
    static constexpr const char* Site = "https://www.tidelin.example/";

    // Shows the window and returns when it has been closed; the owner takes no input meanwhile.
    static void ShowModal(HINSTANCE instance, HWND owner);

private:
    FrmAbout(HINSTANCE instance, HWND owner);
    ~FrmAbout();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Load();
    void Paint();
    void OpenSite();

    HINSTANCE instance_;
    HWND owner_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    HCURSOR hand_ = nullptr;
    int dpi_ = 96;
    bool open_ = true;
};

}  // namespace tidelin::win32
