#include "form1_window.h"

#include "app_info.h"
#include "control_ids.h"
#include "frm_about.h"
#include "tidelin/utf16.h"

namespace tidelin::win32 {

namespace {

constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

Form1Window::Form1Window(HINSTANCE instance)
    : instance_(instance), controls_(app::Form1Layout), form_(*this) {}

void Form1Window::Create() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IdProgramIcon),
                                                        IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(
        instance_, MAKEINTRESOURCEW(IdProgramIcon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    ::RegisterClassExW(&windowClass);

    window_ = ::CreateWindowExW(0, ClassName, utf16::Widen(app::Title).c_str(), Style, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance_, this);
    controls_.Create(window_);
    list1_.Attach(controls_["List1"]);
    list1_.SetDpi(controls_.Dpi());
    ::SendMessageW(controls_["Check1"], BM_SETCHECK,
                   form_.SkipBinary() ? BST_CHECKED : BST_UNCHECKED, 0);
    form_.Load();
}

void Form1Window::Show(int how) {
    ::ShowWindow(window_, how);
    ::UpdateWindow(window_);
    for (const app::Control& control : app::Form1Layout.controls) {
        if (control.takesFocus) {
            ::SetFocus(controls_[control.name]);  // the first in tab order
            break;
        }
    }
}

void Form1Window::Dispatch(MSG& message) {
    // Enter presses the focused button, and only that one: the window has no default button.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        ::IsChild(window_, message.hwnd) &&
        (::SendMessageW(message.hwnd, WM_GETDLGCODE, 0, 0) &
         (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
        ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return;
    }
    if (!::IsDialogMessageW(window_, &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CALLBACK Form1Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form =
            static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    if (auto* form = reinterpret_cast<Form1Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        return form->Handle(message, wParam, lParam);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Form1Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
                OnClick(LOWORD(wParam));
            }
            return 0;
        case WM_SETCURSOR:
            if (form_.IsBusy()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            controls_.DpiChanged(wParam, lParam);
            list1_.SetDpi(controls_.Dpi());
            return 0;
        case WM_CLOSE:
            if (form_.QueryClose()) {
                ::DestroyWindow(window_);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void Form1Window::OnClick(int id) {
    const app::Control* control = ControlWithId(app::Form1Layout, id);
    if (control == nullptr) {
        return;
    }
    if (control->kind == app::ControlKind::CheckBox) {
        form_.SetSkipBinary(::SendMessageW(controls_[control->name], BM_GETCHECK, 0, 0) ==
                            BST_CHECKED);
    } else if (const auto command = app::CommandOf(control->name)) {
        form_.Click(*command);
    } else if (control->kind == app::ControlKind::Button && !form_.IsBusy()) {
        FrmAbout::ShowModal(instance_, window_);  // Command5
    }
}

// Busy: every control refuses input and the pointer is the arrow with the hourglass. The
// frame itself stays live, so that its close box can offer to stop a folder walk.
void Form1Window::SetBusy(bool busy) {
    if (busy) {
        focusBeforeBusy_ = ::GetFocus();
        EnableInput(false);
        ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
        return;
    }
    EnableInput(true);
    if (focusBeforeBusy_ != nullptr && ::IsChild(window_, focusBeforeBusy_)) {
        ::SetFocus(focusBeforeBusy_);
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::SetCursorPos(cursor.x, cursor.y);  // each window shows its own pointer again
}

void Form1Window::EnableInput(bool enabled) {
    for (const app::Control& control : app::Form1Layout.controls) {
        if (control.takesFocus) {
            ::EnableWindow(controls_[control.name], enabled ? TRUE : FALSE);
        }
    }
}

void Form1Window::SetTitle(const std::string& title) {
    ::SetWindowTextW(window_, utf16::Widen(title).c_str());
}

float Form1Window::MeasureTwips(const std::string& text) {
    const std::wstring wide = utf16::Widen(text);
    HDC dc = ::GetDC(window_);
    const HGDIOBJ old = ::SelectObject(dc, controls_.Font());
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(window_, dc);
    return static_cast<float>(app::TwipsFromPixels(size.cx, controls_.Dpi()));
}

void Form1Window::ProcessEvents() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
            break;
        }
        Dispatch(message);
    }
}

}  // namespace tidelin::win32
