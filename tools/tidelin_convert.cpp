// tidelin-convert: runs the engine work of Tidelin's four commands without any window, for
// scripts, benchmarks and end-to-end checks.
//
//   tidelin-convert (--win-to-unix | --unix-to-win) [--convert-binary] (--file PATH | --folder PATH)
//
// Every message-log entry is printed on standard output as it is logged; a finished command
// ends with "Операция завершена.". Exit status: 0 done, 1 a single-file failure (reported on
// standard error as "Error N description"), 2 usage, 3 another instance is running.
#include <cstdio>
#include <iostream>
#include <string>

#include "engine.h"
#include "errors.h"
#include "filesystem.h"
#include "folder_walk.h"

namespace {

using tidelin::Engine;
using tidelin::EngineError;

const char* const Completed = "Операция завершена.";

class ConsoleHost : public tidelin::EngineHost, public tidelin::MessageLogObserver {
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

int Usage(const char* message) {
    std::cerr << "tidelin-convert: " << message << "\n"
              << "usage: tidelin-convert (--win-to-unix | --unix-to-win) [--convert-binary] "
                 "(--file PATH | --folder PATH)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string direction;
    std::string target;
    bool folder = false;
    bool targetGiven = false;
    bool skipBinary = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--win-to-unix" || arg == "--unix-to-win") {
            if (!direction.empty()) {
                return Usage("give one direction");
            }
            direction = arg;
        } else if (arg == "--convert-binary") {
            skipBinary = false;
        } else if (arg == "--file" || arg == "--folder") {
            if (targetGiven || i + 1 >= argc) {
                return Usage("give one --file PATH or --folder PATH");
            }
            folder = arg == "--folder";
            target = argv[++i];
            targetGiven = true;
        } else {
            return Usage(("unknown argument: " + arg).c_str());
        }
    }
    if (direction.empty() || !targetGiven) {
        return Usage("a direction and a target are required");
    }
    const bool winToUnix = direction == "--win-to-unix";

    const auto lock = tidelin::fs::InstanceLock::Acquire();
    if (lock.GetState() == tidelin::fs::InstanceLock::State::HeldElsewhere) {
        std::cerr << "tidelin-convert: another instance of Tidelin is running with this "
                     "temporary folder; try again when it has finished.\n";
        return 3;
    }

    ConsoleHost host(skipBinary);
    tidelin::MessageLog log;
    log.SetObserver(&host);
    Engine engine(host, log);
    int status = 0;
    try {
        engine.ChooseWorkFile();
        if (folder) {
            log.ResetMaxEntryWidth();
            log.Clear();
            if (tidelin::fs::EntryExists(target)) {
                ConvertFolderTree(engine, target, winToUnix ? "Win-Unix" : "Unix-Win");
                std::cout << Completed << '\n';
            }
        } else {
            log.Clear();
            const bool converted =
                winToUnix ? engine.ConvertWinToUnix(target) : engine.ConvertUnixToWin(target);
            if (converted) {
                std::cout << Completed << '\n';
            }
        }
    } catch (const EngineError& error) {
        engine.CloseAllFiles();
        std::cout.flush();
        std::cerr << "Error " << error.Number() << ' ' << error.Description() << '\n';
        status = 1;
    }
    engine.Unload();
    std::cout.flush();
    return status;
}
