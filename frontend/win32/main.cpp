// Starts Tidelin on Windows: one instance per user session and temporary folder, the main
// window in Russian.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "tidelin/errors.h"
#include "tidelin/file_system.h"
#include "form1_window.h"
#include "system_dialogs.h"
#include "texts.h"

namespace {

void Critical(const std::string& text) {
    tidelin::win32::ShowMessageBox(nullptr, text, tidelin::app::Form1View::Icon::Critical,
                                   tidelin::app::Form1View::Buttons::Ok, true);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // A second start ends at once, silently, and leaves the running instance alone.
    const auto lock = tidelin::fs::InstanceLock::Acquire();
    if (lock.GetState() == tidelin::fs::InstanceLock::State::HeldElsewhere) {
        return 0;
    }
    if (lock.GetState() == tidelin::fs::InstanceLock::State::Unavailable) {
        Critical(tidelin::app::text::LockUnavailableWindows);  // never run without the lock
        return 1;
    }

    // The folder dialog is a shell object: it needs COM in a single-threaded apartment.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    tidelin::win32::Form1Window form(instance);
    try {
        form.Create();
    } catch (const tidelin::EngineError& error) {
        Critical(tidelin::app::text::ErrorText(error.Number(), error.Description()));
        return 1;
    }
    form.Show(show);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        form.Dispatch(message);
    }
    ::CoUninitialize();
    return static_cast<int>(message.wParam);
}
