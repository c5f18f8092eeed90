#include "frm_about.h"

#include <shellapi.h>

#include <string>

#include "app_info.h"
#include "control_ids.h"
#include "layout.h"
#include "texts.h"
#include "tidelin/utf16.h"

namespace tidelin::win32 {

namespace {

constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME;

}  // namespace

void FrmAbout::ShowModal(HINSTANCE instance, HWND owner) {
    FrmAbout about(instance, owner);
    MSG message;
    while (about.open_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(about.window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (about.open_) {
        ::PostQuitMessage(static_cast<int>(message.wParam));  // the program is ending
    }
}

FrmAbout::FrmAbout(HINSTANCE instance, HWND owner)
    : instance_(instance), owner_(owner), controls_(app::AboutLayout) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    ::RegisterClassExW(&windowClass);  // fails harmlessly from the second opening on

    icon_ = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IdProgramIcon), IMAGE_ICON,
                                            32, 32, LR_DEFAULTCOLOR));
    hand_ = static_cast<HCURSOR>(::LoadImageW(instance_, MAKEINTRESOURCEW(IdHandCursor),
                                              IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    // Made hidden over its owner, so that it has the DPI of the owner's screen to lay out at.
    RECT ownerFrame{};
    ::GetWindowRect(owner_, &ownerFrame);
    window_ = ::CreateWindowExW(ExStyle, ClassName, L"", Style, ownerFrame.left, ownerFrame.top, 0,
                                0, owner_, nullptr, instance_, this);
    controls_.Create(window_);
    ::SendMessageW(controls_["cmdOK"], BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    Load();
    CentreOnOwnersScreen();
    ::EnableWindow(owner_, FALSE);
    ::ShowWindow(window_, SW_SHOW);
    ::SetFocus(controls_["cmdOK"]);
}

FrmAbout::~FrmAbout() {
    ::EnableWindow(owner_, TRUE);
    if (::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    ::SetActiveWindow(owner_);
    ::DestroyIcon(icon_);
    ::DestroyCursor(hand_);
}

void FrmAbout::Load() {
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, 0);  // the window itself shows no icon ...
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, 0);
    ::SendMessageW(controls_["Image1"], STM_SETICON, reinterpret_cast<WPARAM>(icon_),
                   0);  // ... Image1 does
    ::SetWindowTextW(controls_["lblDescription"], utf16::Widen(app::Description).c_str());
    ::SetWindowTextW(window_, utf16::Widen(app::text::AboutTitle()).c_str());
    ::SetWindowTextW(controls_["lblVersion"], utf16::Widen(app::text::VersionLine()).c_str());
    ::SetWindowTextW(controls_["lblTitle"], utf16::Widen(app::Title).c_str());
}

void FrmAbout::CentreOnOwnersScreen() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr,
                   work.left + (work.right - work.left - (frame.right - frame.left)) / 2,
                   work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK FrmAbout::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* about =
            static_cast<FrmAbout*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        about->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(about));
    }
    if (auto* about = reinterpret_cast<FrmAbout*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        return about->Handle(message, wParam, lParam);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT FrmAbout::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const int ok = ControlId(app::AboutLayout, "cmdOK");
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == ok || LOWORD(wParam) == IDCANCEL) {
                open_ = false;  // Enter, Escape and the OK button all close the window
            } else if (LOWORD(wParam) == ControlId(app::AboutLayout, "lblSite") &&
                       HIWORD(wParam) == STN_CLICKED) {
                OpenSite();
            }
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(ok, DC_HASDEFID);
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == controls_["lblSite"] && hand_ != nullptr) {
                ::SetCursor(hand_);
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            const bool site = reinterpret_cast<HWND>(lParam) == controls_["lblSite"];
            ::SetTextColor(dc, site ? RGB(0, 0, 255) : RGB(0, 0, 0));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DPICHANGED:
            controls_.DpiChanged(wParam, lParam);
            ::InvalidateRect(window_, nullptr, TRUE);
            return 0;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_CLOSE:
            open_ = false;  // the close box closes as OK does
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

// The layout's lines, each so many pixels wide downwards from its place.
void FrmAbout::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window_, &paint);
    for (const app::Line& line : app::AboutLayout.lines) {
        const int top = controls_.Pixels(line.y1);
        const RECT at{controls_.Pixels(line.x1), top, controls_.Pixels(line.x2),
                      top + line.pixelsWide};
        const HBRUSH brush = ::CreateSolidBrush(RGB(line.red, line.green, line.blue));
        ::FillRect(dc, &at, brush);
        ::DeleteObject(brush);
    }
    ::EndPaint(window_, &paint);
}

// Opens the address in the user's browser without waiting for it; the window stays open.
void FrmAbout::OpenSite() {
    std::wstring program(32768, L'\0');
    program.resize(
        ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
    const std::wstring folder = program.substr(0, program.find_last_of(L'\\') + 1);
    ::ShellExecuteW(nullptr, L"open", utf16::Widen(app::text::Site).c_str(), L"", folder.c_str(),
                    SW_SHOWNORMAL);
}

}  // namespace tidelin::win32
