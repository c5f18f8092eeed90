// Form1 as a native Win32 window: it makes its controls from the application layer's layout,
// passes clicks on to app::Form1 and shows what that asks through app::Form1View.
#pragma once

#include <windows.h>
#undef Yield  // a no-op macro left from 16-bit Windows; the engine host has a Yield of its own

#include "controls.h"
#include "form1.h"
#include "form1_view.h"
#include "message_list.h"

namespace tidelin::win32 {

class Form1Window : public app::Form1View {
public:
    static constexpr const wchar_t* ClassName = L"TidelinForm1";

    explicit Form1Window(HINSTANCE instance);
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Creates the window (hidden) and runs the load step; raises EngineError.
    void Create();
    void Show(int how);
    // Dispatches one message with the window's keyboard handling (Tab, Enter on a button).
    void Dispatch(MSG& message);

    // app::Form1View
    Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons, bool yesIsDefault) override;
    std::string ChooseFile(const std::string& title, const std::vector<app::FileFilter>& filters,
                           int& filterIndex, const std::string& folder) override;
    std::string ChooseFolder(const std::string& title) override;
    void SetBusy(bool busy) override;
    void SetTitle(const std::string& title) override;
    float MeasureTwips(const std::string& text) override;
    void ProcessEvents() override;
    void AppendEntry(const std::string& entry) override;
    void ClearEntries() override;
    void SetListRange(float widestEntryTwips) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnClick(int id);
    // Every control that takes input is enabled, or none is.
    void EnableInput(bool enabled);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    Controls controls_;
    MessageList list1_;
    app::Form1 form_;
    bool busy_ = false;
    HWND focusBeforeBusy_ = nullptr;  // the control that gets the focus back when idle again
};

}  // namespace tidelin::win32
