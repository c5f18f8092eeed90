// The engine's host without a window: the skip-binary setting comes from the command line,
// every message-list entry is printed on standard output as it is logged, and Ctrl-C, SIGTERM
// or SIGHUP stop a walk as the window's stop does.
#pragma once

#include <iostream>
#include <string>

#include "tidelin/file_system.h"
#include "tidelin/host.h"
#include "tidelin/message_log.h"

namespace tidelin::tool {

class ConsoleHost : public EngineHost, public MessageLogObserver {
  public:
    explicit ConsoleHost(bool skipBinary) : skipBinary_(skipBinary) {}

    bool SkipBinary() override { return skipBinary_; }
    void Yield() override {}
    bool StopRequested() override { return fs::StopSignalStatus() != 0; }

    void EntryAppended(const std::string& entry, const std::string&) override { std::cout << entry << '\n'; }
    void EntriesCleared() override {}

  private:
    bool skipBinary_;
};

}  // namespace tidelin::tool
