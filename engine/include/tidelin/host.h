// What the engine needs from the program that hosts it: the window's logic, the tool and the
// tests implement it.
#pragma once

#include <string>

namespace tidelin {

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Whether "Не изменять бинарные файлы" is ticked: binary files are then left alone.
    virtual bool SkipBinary() = 0;
    // Lets the window system process pending events; called once per chunk of work.
    virtual void Yield() = 0;

    // A folder walk calls this after each file, whether it was converted, skipped or failed.
    virtual void FileDone() {}
    // A folder walk asks this between two files, never during one: true ends the walk there.
    virtual bool StopRequested() { return false; }
};

}  // namespace tidelin
