// Another program that holds a file open: opens the file named by its first argument for
// reading and writing, sharing it as its second argument says ("none" or "read"), prints
// "held" and keeps the file open until its standard input closes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    const DWORD share = std::wcscmp(argv[2], L"read") == 0 ? FILE_SHARE_READ : 0;
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
    }
    ::CloseHandle(file);
    return 0;
}
