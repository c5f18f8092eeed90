// Starts Tidelin on Windows: one instance per user session and temporary folder, the main
// window in Russian.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app_info.h"
#include "errors.h"
#include "filesystem.h"
#include "form1.h"
#include "wide.h"

namespace {

const wchar_t* const LockUnavailable = L"Tidelin не запущен: защита от второго экземпляра недоступна.";

void Critical(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), tidelin::win32::Wide(tidelin::app::Title).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // A second start ends at once, silently, and leaves the running instance alone.
    const auto lock = tidelin::fs::InstanceLock::Acquire();
    if (lock.GetState() == tidelin::fs::InstanceLock::State::HeldElsewhere) {
        return 0;
    }
    if (lock.GetState() == tidelin::fs::InstanceLock::State::Unavailable) {
        Critical(LockUnavailable);  // never run without the lock
        return 1;
    }

    // The folder dialog is a shell object: it needs COM in a single-threaded apartment.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    tidelin::win32::Form1 form(instance);
    try {
        form.Create();
    } catch (const tidelin::EngineError& error) {
        Critical(L"Error " + std::to_wstring(error.Number()) + L" " + tidelin::win32::Wide(error.Description()));
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
