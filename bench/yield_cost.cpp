// The cost of the main window's hooks: converts a file, or walks a folder tree (Windows to
// Unix and back, so that the next round starts from the same content) through the window's
// engine and through an engine whose host does nothing when it yields or counts files,
// alternating, and prints the medians. A tree shows its progress in the window's title.
//   tidelin-bench-yield FILE|FOLDER [ROUNDS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tidelin/folder_walk.h"
#include "form1.h"
#include "quiet_host.h"
#include "qt_dialogs.h"

namespace {

double Seconds(tidelin::Engine& engine, const std::string& path) {
    const bool tree = std::filesystem::is_directory(path);
    const auto start = std::chrono::steady_clock::now();
    tree ? tidelin::ConvertFolderTree(engine, path, tidelin::Direction::WinToUnix) : (void)engine.ConvertWinToUnix(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    tree ? tidelin::ConvertFolderTree(engine, path, tidelin::Direction::UnixToWin) : (void)engine.ConvertUnixToWin(path);
    return took.count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The number of rounds: 5 unless given, and at least one, since a median needs a value.
int Rounds(int argc, char** argv) {
    if (argc < 3) {
        return 5;
    }
    char* end = nullptr;
    const long rounds = std::strtol(argv[2], &end, 10);
    return (end != argv[2] && *end == '\0' && rounds >= 1 && rounds <= 100000) ? static_cast<int>(rounds) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = Rounds(argc, argv);
    if (argc < 2 || argc > 3 || rounds == 0) {
        std::fprintf(stderr, "usage: tidelin-bench-yield FILE [ROUNDS]   (ROUNDS a whole number from 1)\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string path = argv[1];
    tidelin::QtDialogs dialogs;
    tidelin::Form1 form(dialogs);
    form.Load();
    form.show();
    QuietHost quiet;
    tidelin::MessageLog log;
    tidelin::Engine plain(quiet, log);
    plain.ChooseWorkFile();
    std::vector<double> window;
    std::vector<double> none;
    for (int i = 0; i < rounds; ++i) {
        window.push_back(Seconds(form.GetEngine(), path));
        none.push_back(Seconds(plain, path));
    }
    const double w = Median(window);
    const double n = Median(none);
    std::printf("%.4f %.4f %.2f\n", w, n, 100.0 * (w - n) / n);
    form.GetEngine().Unload();
    plain.Unload();
    return 0;
}
