// A host that skips binary files and does nothing else: the engine alone, for timings.
#pragma once

#include "tidelin/host.h"

class QuietHost : public tidelin::EngineHost {
public:
    bool SkipBinary() override { return true; }
    void Yield() override {}
};
