// Form1: Tidelin's main window as a native Win32 window over the engine. It hosts the engine
// (message log, skip-binary setting, text widths in twips, yielding to the message queue),
// runs the four conversion commands and opens frmAbout.
#pragma once

#include <windows.h>
#undef Yield  // a no-op macro left from 16-bit Windows; the engine host has a Yield of its own

#include <cstdint>
#include <functional>
#include <string>

#include "engine.h"
#include "host.h"
#include "message_list.h"
#include "message_log.h"

namespace tidelin::win32 {

class Form1 : public EngineHost {
public:
    static constexpr const wchar_t* ClassName = L"TidelinForm1";

    explicit Form1(HINSTANCE instance);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window (hidden) and chooses the work file; raises EngineError.
    void Create();
    void Show(int how);
    HWND Handle() const { return window_; }

    // Dispatches one message with the window's keyboard handling (Tab, Enter on a button).
    void Dispatch(MSG& message);

    bool SkipBinary() override;
    float MeasureTwips(const std::string& text) override;
    void Yield() override;
    void FileDone() override;
    bool StopRequested() override { return stopRequested_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    // Places the controls at their twips for the window's DPI, in the dialog font of that DPI.
    void Layout(int dpi);
    void OnCommand(int id);
    void OnClose();

    // Conversion commands (commands.cpp).
    void ConvertFileCommand(const std::wstring& sourceKeyword, const std::wstring& targetKeyword);
    void ConvertFolderCommand(const std::wstring& sourceKeyword, const std::wstring& targetKeyword);
    bool ConfirmFileConversion(const std::wstring& sourceKeyword, const std::wstring& targetKeyword);
    bool ConfirmFolderConversion(const std::wstring& folder, const std::wstring& sourceKeyword,
                                 const std::wstring& targetKeyword);
    void ReportingFailures(const std::function<void()>& work);
    void WalkWithProgress(const std::function<void()>& walk);
    int Message(const std::wstring& text, UINT flags);

    // Choosers (choosers.cpp).
    std::wstring ShowOpenFile(const std::wstring& title, const std::wstring& description,
                              const std::wstring& pattern);
    std::wstring BrowseForFolder(const std::wstring& title);

    void EnterBusy();
    void LeaveBusy();
    void SetTitle(const std::wstring& title);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    HWND dlgFilename_ = nullptr;
    MessageLog log_;
    MessageList list1_;
    Engine engine_;

    std::wstring folderPath_;
    DWORD filterIndex_ = 0;  // the file chooser's filter pair, kept between showings

    bool busy_ = false;
    HWND focusBeforeBusy_ = nullptr;  // the control that gets the focus back when idle again
    bool walking_ = false;
    bool stopRequested_ = false;
    bool askingToStop_ = false;
    std::int64_t filesDone_ = 0;
    ULONGLONG lastYield_ = 0;
    ULONGLONG lastTitle_ = 0;
};

}  // namespace tidelin::win32
