// The engine's host without a window: the skip-binary setting comes from the command line and
// every message-list entry is printed on standard output as it is logged.
#pragma once

#include <iostream>
#include <string>

#include "host.h"
#include "message_log.h"

namespace tidelin::tool {

class ConsoleHost : public EngineHost, public MessageLogObserver {
  public:
    explicit ConsoleHost(bool skipBinary) : skipBinary_(skipBinary) {}

    bool SkipBinary() override { return skipBinary_; }
    // Without a window there is no font: count 105 twips (7 pixels) per character.
    float MeasureTwips(const std::string& text) override {
        float characters = 0;
        for (const char c : text) {
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
                characters += 1;
            }
        }
        return characters * 105.0f;
    }
    void Yield() override {}

    void EntryAppended(const std::string& entry) override { std::cout << entry << '\n'; }
    void EntriesCleared() override {}

  private:
    bool skipBinary_;
};

}  // namespace tidelin::tool
