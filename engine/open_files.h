// The program's table of open files: number 1 is the file being read (a conversion's source
// or the file under the binary test), number 2 the work file.
#pragma once

#include <array>

#include "filesystem.h"

namespace tidelin {

class OpenFileTable {
public:
    static constexpr int Source = 1;
    static constexpr int Work = 2;

    // Runs `open` and files the result under `number`. A number in use fails before
    // anything is opened.
    template <typename Opener>
    fs::File& Open(int number, Opener&& open) {
        CheckFree(number);
        fs::File& slot = Slot(number);
        slot = open();
        return slot;
    }

    bool IsOpen(int number) const;
    fs::File& Get(int number) { return Slot(number); }

    // Closes one file and reports a failing close.
    void Close(int number);
    // Closes every open file; never fails, also when none is open.
    void CloseAll() noexcept;

private:
    void CheckFree(int number);
    fs::File& Slot(int number);
    std::array<fs::File, 2> files_;
};

}  // namespace tidelin
