// Where a folder walk's processor time goes: tidelin-bench-walk FOLDER
// Converts FOLDER (Windows to Unix) in this process with TIDELIN_THREADS as set and prints
// one line: the seconds it took, the processor seconds of the whole process and of the walk's
// own thread (the one that lists, hands out and takes back), and that thread's share. With
// --about it prints the conversion kernels' level and the threads a walk converts on.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "kernels.h"
#include "process_limits.h"
#include "quiet_host.h"
#include "tidelin/engine.h"
#include "tidelin/folder_walk.h"

namespace {

double Seconds(const rusage& usage) {
    const auto add = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return add(usage.ru_utime) + add(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--about") == 0) {
        std::printf("kernels: %s; converting threads: %u\n", tidelin::kernels::LevelName(tidelin::kernels::ActiveLevel()),
                    tidelin::ThreadCount());
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidelin-bench-walk FOLDER | --about\n");
        return 2;
    }
    QuietHost host;
    tidelin::MessageLog log;
    tidelin::Engine engine(host, log);
    engine.ChooseWorkFile();
    rusage processBefore{}, ownBefore{};
    ::getrusage(RUSAGE_SELF, &processBefore);
    ::getrusage(RUSAGE_THREAD, &ownBefore);
    const auto start = std::chrono::steady_clock::now();
    const tidelin::WalkOutcome outcome = tidelin::ConvertFolderTree(engine, argv[1], tidelin::Direction::WinToUnix);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    rusage processAfter{}, ownAfter{};
    ::getrusage(RUSAGE_THREAD, &ownAfter);
    ::getrusage(RUSAGE_SELF, &processAfter);  // the workers have ended: their time is in it
    engine.Unload();
    const double process = Seconds(processAfter) - Seconds(processBefore);
    const double own = Seconds(ownAfter) - Seconds(ownBefore);
    std::printf("%.3f s, processor %.3f s, the walk's own thread %.3f s: %.1f %% (%zu files converted)\n",
                took.count(), process, own, process > 0 ? 100.0 * own / process : 0.0, outcome.converted);
    return outcome.Clean() ? 0 : 1;
}
