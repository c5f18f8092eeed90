#include "controls.h"

#include <commctrl.h>

#include "control_ids.h"
#include "tidelin/utf16.h"

namespace tidelin::win32 {

namespace {

// What the system can tell only from Windows 10 on; looked up, so older systems fall back.
template <typename Function>
Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

int SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// The window's DPI where the system can say it per window, else the system's.
int WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    return SystemDpi();
}

// The system's dialog font, at `dpi`.
HFONT DialogFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, dpi, SystemDpi());
    return ::CreateFontIndirectW(&font);
}

struct Kind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

Kind KindOf(app::ControlKind kind) {
    switch (kind) {
        case app::ControlKind::Button:
            return {WC_BUTTONW, WS_VISIBLE | BS_PUSHBUTTON, 0};
        case app::ControlKind::CheckBox:
            return {WC_BUTTONW, WS_VISIBLE | BS_AUTOCHECKBOX, 0};
        case app::ControlKind::Frame:
            return {WC_BUTTONW, WS_VISIBLE | BS_GROUPBOX, 0};
        case app::ControlKind::List:
            return {WC_LISTBOXW,
                    WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                    WS_EX_CLIENTEDGE};
        case app::ControlKind::Label:
            return {WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOTIFY, 0};
        case app::ControlKind::Hidden:
            return {WC_STATICW, SS_LEFT, 0};
        case app::ControlKind::Picture:
            return {WC_STATICW, WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE, 0};
    }
    return {WC_STATICW, 0, 0};
}

}  // namespace

Controls::~Controls() {
    if (font_ != nullptr) {
        ::DeleteObject(font_);
    }
}

void Controls::Create(HWND window) {
    window_ = window;
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (const app::Control& control : layout_.controls) {
        const Kind kind = KindOf(control.kind);
        const DWORD style =
            WS_CHILD | WS_CLIPSIBLINGS | kind.style | (control.takesFocus ? WS_TABSTOP : 0);
        ::CreateWindowExW(
            kind.exStyle, kind.windowClass, utf16::Widen(control.caption).c_str(), style, 0, 0, 0, 0,
            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout_, control.name))),
            instance, nullptr);
    }
    // A frame lies beneath the controls it frames; each new control went beneath the others.
    for (const app::Control& control : layout_.controls) {
        if (control.kind == app::ControlKind::Frame) {
            ::SetWindowPos((*this)[control.name], HWND_BOTTOM, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    LayOut(WindowDpi(window));
}

void Controls::LayOut(int dpi) {
    dpi_ = dpi;
    const HFONT old = font_;
    font_ = DialogFont(dpi);
    const auto style = static_cast<DWORD>(::GetWindowLongW(window_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(window_, GWL_EXSTYLE));
    RECT frame{0, 0, Pixels(layout_.clientWidth), Pixels(layout_.clientHeight)};
    static const auto adjustForDpi =
        User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const app::Control& control : layout_.controls) {
        const app::Rect at = app::OnClientArea(layout_, control);
        HWND made = (*this)[control.name];
        ::SetWindowPos(made, nullptr, Pixels(at.left), Pixels(at.top), Pixels(at.width),
                       Pixels(at.height), SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old != nullptr) {
        ::DeleteObject(old);
    }
}

void Controls::DpiChanged(WPARAM wParam, LPARAM lParam) {
    LayOut(HIWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Controls::operator[](const char* name) const {
    return ::GetDlgItem(window_, ControlId(layout_, name));
}

}  // namespace tidelin::win32
