#include "frm_about.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app_info.h"
#include "control_ids.h"
#include "wide.h"

namespace tidelin::win32 {

namespace {

constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD ExStyle = WS_EX_DLGMODALFRAME;

struct Control {
    int id;
    const wchar_t* kind;
    DWORD style;
    int left, top, width, height;  // twips
};

// In tab order; only the OK button takes the focus.
constexpr Control Controls[] = {
    {IDOK, WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON, 4320, 2640, 1260, 345},
    {IdImage1, WC_STATICW, SS_ICON | SS_REALSIZEIMAGE, 120, 120, 855, 735},
    {IdLblDescription, WC_STATICW, SS_LEFT, 1080, 1125, 3885, 1170},
    {IdLblAuthor, WC_STATICW, SS_LEFT, 240, 2640, 3495, 345},
    {IdLblTitle, WC_STATICW, SS_LEFT, 1050, 240, 3885, 480},
    {IdLblVersion, WC_STATICW, SS_LEFT, 1050, 780, 3885, 225},
    {IdLblSite, WC_STATICW, SS_LEFT | SS_NOTIFY, 120, 3120, 5535, 375},
};

int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

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

FrmAbout::FrmAbout(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    ::RegisterClassExW(&windowClass);  // fails harmlessly from the second opening on

    dpi_ = ScreenDpi();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
    icon_ = static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IdProgramIcon), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    hand_ = static_cast<HCURSOR>(::LoadImageW(instance_, MAKEINTRESOURCEW(IdHandCursor), IMAGE_CURSOR, 0, 0,
                                              LR_DEFAULTSIZE));

    RECT frame{0, 0, Pixels(5730, dpi_), Pixels(3555, dpi_)};
    ::AdjustWindowRectEx(&frame, Style, FALSE, ExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    window_ = ::CreateWindowExW(ExStyle, ClassName, L"", Style, work.left + (work.right - work.left - width) / 2,
                                work.top + (work.bottom - work.top - height) / 2, width, height, owner_, nullptr,
                                instance_, this);
    for (const Control& control : Controls) {
        HWND child = ::CreateWindowExW(0, control.kind, L"", WS_CHILD | WS_VISIBLE | control.style,
                                       Pixels(control.left, dpi_), Pixels(control.top, dpi_),
                                       Pixels(control.width, dpi_), Pixels(control.height, dpi_), window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_, nullptr);
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    ::SetDlgItemTextW(window_, IDOK, L"OK");
    ::SetDlgItemTextW(window_, IdLblAuthor, Wide(Author).c_str());
    ::SetDlgItemTextW(window_, IdLblSite, Wide(Site).c_str());
    Load();
    ::EnableWindow(owner_, FALSE);
    ::ShowWindow(window_, SW_SHOW);
    ::SetFocus(::GetDlgItem(window_, IDOK));
}

FrmAbout::~FrmAbout() {
    ::EnableWindow(owner_, TRUE);
    if (::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    ::SetActiveWindow(owner_);
    ::DeleteObject(font_);
    ::DestroyIcon(icon_);
    ::DestroyCursor(hand_);
}

void FrmAbout::Load() {
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, 0);  // the window itself shows no icon ...
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, 0);
    ::SendDlgItemMessageW(window_, IdImage1, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);  // ... Image1 does
    ::SetDlgItemTextW(window_, IdLblDescription, Wide(app::Description).c_str());
    ::SetWindowTextW(window_, (L"О программе " + Wide(app::Title)).c_str());
    ::SetDlgItemTextW(window_, IdLblVersion,
                      (L"Версия " + std::to_wstring(app::VersionMajor) + L"." + std::to_wstring(app::VersionMinor) +
                       L"." + std::to_wstring(app::VersionRevision))
                          .c_str());
    ::SetDlgItemTextW(window_, IdLblTitle, Wide(app::Title).c_str());
}

LRESULT CALLBACK FrmAbout::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* about = static_cast<FrmAbout*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        about->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(about));
    }
    if (auto* about = reinterpret_cast<FrmAbout*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        return about->Handle(message, wParam, lParam);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT FrmAbout::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            open_ = false;  // Enter, Escape and the OK button all close the window
        } else if (LOWORD(wParam) == IdLblSite && HIWORD(wParam) == STN_CLICKED) {
            OpenSite();
        }
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == ::GetDlgItem(window_, IdLblSite) && hand_ != nullptr) {
            ::SetCursor(hand_);
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const bool site = reinterpret_cast<HWND>(lParam) == ::GetDlgItem(window_, IdLblSite);
        ::SetTextColor(dc, site ? RGB(0, 0, 255) : RGB(0, 0, 0));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
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

// The etched separator between the description and the authorship line: a grey line and,
// one pixel lower, a white line twice as wide.
void FrmAbout::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window_, &paint);
    const int y = Pixels(2445, dpi_);
    RECT grey{Pixels(90, dpi_), y, Pixels(5654, dpi_), y + 1};
    RECT white{Pixels(105, dpi_), y + 1, Pixels(5654, dpi_), y + 3};
    const HBRUSH greyBrush = ::CreateSolidBrush(RGB(128, 128, 128));
    ::FillRect(dc, &grey, greyBrush);
    ::DeleteObject(greyBrush);
    ::FillRect(dc, &white, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::EndPaint(window_, &paint);
}

// Opens the address in the user's browser without waiting for it; the window stays open.
void FrmAbout::OpenSite() {
    std::vector<wchar_t> program(32768, L'\0');
    ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    std::wstring folder(program.data());
    folder.erase(folder.find_last_of(L'\\') == std::wstring::npos ? 0 : folder.find_last_of(L'\\'));
    const std::wstring site = WindowText(::GetDlgItem(window_, IdLblSite));
    ::ShellExecuteW(nullptr, L"open", site.c_str(), L"", folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace tidelin::win32
