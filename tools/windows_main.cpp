// The Windows entry point of tidelin-convert: the wide command line becomes UTF-8 arguments
// for the same main function as on Linux (compiled under the name TidelinConvertMain, see
// CMakeLists.txt), and standard output and error carry UTF-8 with "\n" line ends, as on Linux.
// A console is told to show UTF-8.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tidelin/utf16.h"

int TidelinConvertMain(int argc, char** argv);

int wmain(int argc, wchar_t** argv) {
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdin), _O_BINARY);  // a CR or a Ctrl-Z of the input is data too
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(tidelin::utf16::Narrow(argv[i]));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return TidelinConvertMain(argc, pointers.data());
}
