// Form1 as a native Win32 window: it makes its controls from the application layer's layout,
// passes clicks on to app::Form1 and shows what that asks through app::Form1View.
#pragma once

#include <windows.h>
#undef Yield  // a no-op macro left from 16-bit Windows; the engine host has a Yield of its own

#include "controls.h"
#include "form1.h"
#include "form1_view.h"
#include "message_list.h"
#include "system_dialogs.h"

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

    // app::Form1View: the system's own dialogs, owned by the window, ...
    Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons,
                       bool yesIsDefault) override {
        return ShowMessageBox(window_, text, icon, buttons, yesIsDefault);
    }
    std::string ChooseFile(const std::string& title, const std::vector<app::FileFilter>& filters,
                           int& filterIndex, const std::string& folder) override {
        return win32::ChooseFile(window_, title, filters, filterIndex, folder);
    }
    std::string ChooseFolder(const std::string& title) override {
        return win32::ChooseFolder(window_, title);
    }
    // ... List1 ...
    void AppendEntry(const std::string& entry) override { list1_.Append(entry); }
    void ClearEntries() override { list1_.Clear(); }
    void SetListRange(float widestEntryTwips) override { list1_.SetRange(widestEntryTwips); }
    // ... and the window itself.
    void SetBusy(bool busy) override;
    void SetTitle(const std::string& title) override;
    float MeasureTwips(const std::string& text) override;
    void ProcessEvents() override;

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
    HWND focusBeforeBusy_ = nullptr;  // the control that gets the focus back when idle again
};

}  // namespace tidelin::win32
