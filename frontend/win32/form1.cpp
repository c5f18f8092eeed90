#include "form1.h"

#include <commctrl.h>

#include "app_info.h"
#include "control_ids.h"
#include "frm_about.h"
#include "wide.h"

namespace tidelin::win32 {

namespace {

// The engine's work is interrupted for the message queue at most this often.
constexpr ULONGLONG YieldIntervalMs = 8;
// The title shows a walk's progress at most this often.
constexpr ULONGLONG TitleIntervalMs = 250;

// The client area, in twips.
constexpr int ClientWidth = 7935;
constexpr int ClientHeight = 3930;
// Where the frame "Сообщения:" sits; the controls inside it are placed relative to it.
constexpr int FrameLeft = 120;
constexpr int FrameTop = 1440;

constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct Placement {
    int id;
    int left, top, width, height;  // twips, relative to the client area
};

constexpr Placement Placements[] = {
    {IdCommand1, 120, 120, 3735, 375},
    {IdCommand3, 4080, 120, 3735, 375},
    {IdCommand2, 120, 600, 3735, 375},
    {IdCommand4, 4080, 600, 3735, 375},
    {IdCheck1, 2640, 1200, 3135, 255},
    {IdFrame1, FrameLeft, FrameTop, 7695, 2295},
    {IdList1, FrameLeft + 120, FrameTop + 240, 7455, 1425},
    {IdLabel1, FrameLeft + 120, FrameTop + 1800, 5655, 375},
    {IdCommand5, FrameLeft + 6120, FrameTop + 1800, 1335, 375},
    {IdDlgFilename, 7440, 360, 975, 255},
};

// The controls a busy window disables: every one that takes input.
constexpr int InputControls[] = {IdCommand1, IdCommand2, IdCommand3, IdCommand4, IdCommand5, IdCheck1, IdList1};

// The window's DPI where the system can say it per window (Windows 10), else the system's.
int DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// The system's dialog font, at `dpi`.
HFONT DialogFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, dpi, DpiOf(nullptr));
    return ::CreateFontIndirectW(&font);
}

}  // namespace

Form1::Form1(HINSTANCE instance) : instance_(instance), engine_(*this, log_) { log_.SetObserver(&list1_); }

Form1::~Form1() {
    log_.SetObserver(nullptr);
    if (font_ != nullptr) {
        ::DeleteObject(font_);
    }
}

void Form1::Create() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IdProgramIcon), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IdProgramIcon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    ::RegisterClassExW(&windowClass);

    window_ = ::CreateWindowExW(0, ClassName, Wide(app::Title).c_str(), Style, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    CreateControls();
    Layout(DpiOf(window_));
    engine_.ChooseWorkFile();
}

void Form1::CreateControls() {
    const auto make = [this](const wchar_t* kind, const char* caption, int id, DWORD style, DWORD exStyle = 0) {
        return ::CreateWindowExW(exStyle, kind, Wide(caption).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0,
                                 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    };
    // Made in tab order (List1, Command5, Command1 ... Command4, Check1); the frame and the
    // labels take no focus.
    HWND frame1 = make(WC_BUTTONW, "Сообщения:", IdFrame1, WS_VISIBLE | BS_GROUPBOX);
    make(WC_STATICW, "Системные, скрытые и файлы только для чтения не перезаписываются.", IdLabel1,
         WS_VISIBLE | SS_LEFT);
    dlgFilename_ = make(WC_STATICW, "DlgFilename", IdDlgFilename, SS_LEFT);  // never shown
    list1_.Attach(make(WC_LISTBOXW, "", IdList1,
                       WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                       WS_EX_CLIENTEDGE));
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    make(WC_BUTTONW, "О программе", IdCommand5, button);
    make(WC_BUTTONW, "Конвертировать файл Windows в Unix", IdCommand1, button);
    make(WC_BUTTONW, "Конвертировать файл Unix в Windows", IdCommand2, button);
    make(WC_BUTTONW, "Конвертировать папку Windows в Unix", IdCommand3, button);
    make(WC_BUTTONW, "Конвертировать папку Unix в Windows", IdCommand4, button);
    HWND check1 = make(WC_BUTTONW, "Не изменять бинарные файлы", IdCheck1, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX);
    ::SendMessageW(check1, BM_SETCHECK, BST_CHECKED, 0);
    // The frame lies beneath the controls it frames (a new control goes beneath the others).
    ::SetWindowPos(frame1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form1::Layout(int dpi) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = DialogFont(dpi);
    RECT frame{0, 0, Pixels(ClientWidth, dpi), Pixels(ClientHeight, dpi)};
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, Style, FALSE, 0, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&frame, Style, FALSE, 0);
    }
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Placement& at : Placements) {
        HWND control = ::GetDlgItem(window_, at.id);
        ::SetWindowPos(control, nullptr, Pixels(at.left, dpi), Pixels(at.top, dpi), Pixels(at.width, dpi),
                       Pixels(at.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old != nullptr) {
        ::DeleteObject(old);
    }
    list1_.Remeasure();
}

void Form1::Show(int how) {
    ::ShowWindow(window_, how);
    ::UpdateWindow(window_);
    ::SetFocus(list1_.Handle());
}

void Form1::Dispatch(MSG& message) {
    // Enter presses the focused button, and only that one: the window has no default button.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && ::IsChild(window_, message.hwnd) &&
        (::SendMessageW(message.hwnd, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
        ::SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return;
    }
    if (!::IsDialogMessageW(window_, &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    if (auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        return form->Handle(message, wParam, lParam);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Form1::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            OnCommand(LOWORD(wParam));
        }
        return 0;
    case WM_SETCURSOR:
        if (busy_) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        Layout(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void Form1::OnCommand(int id) {
    if (busy_) {
        return;
    }
    const std::wstring windows = L"Windows";
    const std::wstring unix = L"Unix";
    switch (id) {
    case IdCommand1: ConvertFileCommand(windows, unix); break;
    case IdCommand2: ConvertFileCommand(unix, windows); break;
    case IdCommand3: ConvertFolderCommand(windows, unix); break;
    case IdCommand4: ConvertFolderCommand(unix, windows); break;
    case IdCommand5: FrmAbout::ShowModal(instance_, window_); break;
    default: break;
    }
}

void Form1::OnClose() {
    // A command runs to its end: closing now would cut a conversion off mid-file. A folder
    // walk can be stopped, though, after the file in hand.
    if (busy_) {
        if (walking_ && !stopRequested_ && !askingToStop_) {
            askingToStop_ = true;
            stopRequested_ = Message(L"Остановить после текущего файла?",
                                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
            askingToStop_ = false;
        }
        return;
    }
    engine_.Unload();
    ::DestroyWindow(window_);
}

bool Form1::SkipBinary() {
    return ::SendMessageW(::GetDlgItem(window_, IdCheck1), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

float Form1::MeasureTwips(const std::string& text) {
    const std::wstring wide = Wide(text);
    HDC dc = ::GetDC(window_);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(window_, dc);
    return static_cast<float>(size.cx) * 1440.0f / static_cast<float>(dpi_);
}

void Form1::Yield() {
    const ULONGLONG now = ::GetTickCount64();
    if (now - lastYield_ < YieldIntervalMs) {
        return;
    }
    lastYield_ = now;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
            break;
        }
        Dispatch(message);
    }
}

void Form1::FileDone() {
    ++filesDone_;
    const ULONGLONG now = ::GetTickCount64();
    if (now - lastTitle_ >= TitleIntervalMs) {
        SetTitle(Wide(app::Title) + L" — файлов: " + std::to_wstring(filesDone_));
        lastTitle_ = now;
    }
}

void Form1::WalkWithProgress(const std::function<void()>& walk) {
    walking_ = true;
    filesDone_ = 0;
    stopRequested_ = false;
    lastTitle_ = ::GetTickCount64();
    struct Restore {
        Form1* form;
        ~Restore() {
            form->walking_ = false;
            form->SetTitle(Wide(app::Title));
        }
    } restore{this};
    walk();
}

void Form1::SetTitle(const std::wstring& title) { ::SetWindowTextW(window_, title.c_str()); }

// Busy: every control refuses input and the pointer is the arrow with the hourglass. The
// frame itself stays live, so that its close box can offer to stop a folder walk.
void Form1::EnterBusy() {
    focusBeforeBusy_ = ::GetFocus();
    busy_ = true;
    for (const int id : InputControls) {
        ::EnableWindow(::GetDlgItem(window_, id), FALSE);
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
}

void Form1::LeaveBusy() {
    if (!busy_) {
        return;
    }
    busy_ = false;
    for (const int id : InputControls) {
        ::EnableWindow(::GetDlgItem(window_, id), TRUE);
    }
    if (focusBeforeBusy_ != nullptr && ::IsChild(window_, focusBeforeBusy_)) {
        ::SetFocus(focusBeforeBusy_);
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::SetCursorPos(cursor.x, cursor.y);  // each window shows its own pointer again
}

int Form1::Message(const std::wstring& text, UINT flags) {
    return ::MessageBoxW(window_, text.c_str(), Wide(app::Title).c_str(), flags);
}

}  // namespace tidelin::win32
