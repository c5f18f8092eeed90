// Times the binary-file test alone: tidelin-bench-binary FILE
// Prints the answer and the seconds it took.
#include <chrono>
#include <cstdio>

#include "engine_core.h"
#include "quiet_host.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidelin-bench-binary FILE\n");
        return 2;
    }
    QuietHost host;
    tidelin::MessageLog log;
    tidelin::Engine engine(host, log);
    const auto start = std::chrono::steady_clock::now();
    const bool binary = engine.IsBinaryFile(argv[1]);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s %.4f\n", binary ? "binary" : "text", took.count());
    return 0;
}
