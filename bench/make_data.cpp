// Makes the benchmark's inputs, reproducibly:
//   tidelin-bench-data crlf SIZE FILE   text with CR LF lines of 0 to 120 characters
//   tidelin-bench-data lf SIZE FILE     the same with LF lines
//   tidelin-bench-data binary SIZE FILE text with a NUL byte near its start
//   tidelin-bench-data tree DIR         10,000 CR LF files of 0.2 to 8 KB in 100 folders
//   tidelin-bench-data folder DIR [N]   N (default 100,000) CR LF files of 0.2 to 2 KB in one folder
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::string Lines(std::mt19937& random, std::size_t size, const char* breakText) {
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<int> letter(32, 126);
    std::string text;
    text.reserve(size + 130);
    while (text.size() < size) {
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            text.push_back(static_cast<char>(letter(random)));
        }
        text += breakText;
    }
    text.resize(size);
    return text;
}

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    return std::fclose(out) == 0 && ok;
}

// Writes a large file in blocks so that memory stays small.
bool WriteLarge(const std::string& path, std::size_t size, const char* breakText, bool nulEarly) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    std::mt19937 random(42);
    std::size_t done = 0;
    bool ok = true;
    while (done < size && ok) {
        std::string block = Lines(random, std::min<std::size_t>(size - done, 1 << 20), breakText);
        if (nulEarly && done == 0 && block.size() > 100) {
            block[100] = '\0';
        }
        ok = std::fwrite(block.data(), 1, block.size(), out) == block.size();
        done += block.size();
    }
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "crlf" || mode == "lf" || mode == "binary") && argc == 4) {
        const std::size_t size = std::strtoull(argv[2], nullptr, 10);
        return WriteLarge(argv[3], size, mode == "lf" ? "\n" : "\r\n", mode == "binary") ? 0 : 1;
    }
    if ((mode == "tree" && argc == 3) || (mode == "folder" && (argc == 3 || argc == 4))) {
        const std::string root = argv[2];
        const bool tree = mode == "tree";
        const int files = tree ? 100 : argc == 4 ? std::atoi(argv[3]) : 100000;
        std::mt19937 random(7);
        std::uniform_int_distribution<std::size_t> size(200, tree ? 8192 : 2048);
        ::mkdir(root.c_str(), 0755);
        for (int folder = 0; folder < (tree ? 100 : 1); ++folder) {
            const std::string dir = tree ? root + "/d" + std::to_string(folder) : root;
            ::mkdir(dir.c_str(), 0755);
            for (int file = 0; file < files; ++file) {
                if (!WriteFile(dir + "/f" + std::to_string(file) + ".txt", Lines(random, size(random), "\r\n"))) {
                    return 1;
                }
            }
        }
        return 0;
    }
    std::fprintf(stderr, "usage: tidelin-bench-data (crlf|lf|binary) SIZE FILE | tree DIR | folder DIR [N]\n");
    return 2;
}
