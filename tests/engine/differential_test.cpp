// Whole walks and large files on one and on several threads, held to a plain byte-by-byte
// model of the conversion on random trees: the same content, the same entries in the same order.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>

#include "tidelin/folder_walk.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

bool IsControl(unsigned char b) { return b < 32 && b != 9 && b != 10 && b != 13; }

std::string Model(const std::string& in, Direction direction) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char b = in[i];
        if (direction == Direction::WinToUnix) {
            if (!(b == '\r' && i + 1 < in.size() && in[i + 1] == '\n')) {
                out += b;
            }
        } else if (b == '\n') {
            out += "\r\n";
        } else if (b != '\r') {
            out += b;
        }
    }
    return out;
}

// Text dense in line breaks, now and then a control byte (anywhere, also near the end of a
// large file), now and then large enough to be read ahead on a second thread.
std::string RandomContent(std::mt19937& random) {
    const int kind = static_cast<int>(random() % 20);
    const std::size_t size = kind == 0 ? (2u << 20) + random() % (1u << 20) : random() % 3000;
    static const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', ' ', '\t', 'z', '\x7f', '\xc3'};
    std::string text(size, 'a');
    for (char& b : text) {
        b = alphabet[random() % sizeof alphabet];
    }
    if (kind < 3 && size > 0) {
        text[kind == 0 ? size - 1 - random() % 100 : random() % size] = static_cast<char>(random() % 9);
    }
    return text;
}

class DifferentialTest : public TempFolderTest {};

TEST_F(DifferentialTest, WalksOnOneAndOnSeveralThreadsMatchTheModel) {
    std::mt19937 random(20261207);
    for (const char* threads : {"1", "3"}) {
        for (int round = 0; round < 2; ++round) {
            const Threads set(threads);
            TestHost host;
            host.skipBinary = round == 0;
            MessageLog log;
            Engine engine(host, log);
            engine.ChooseWorkFile();
            const Direction direction = round == 0 ? Direction::WinToUnix : Direction::UnixToWin;
            const std::string tree = Path("tree");
            std::filesystem::remove_all(tree);
            // Every name sorts in the walk's order: a folder's files, then its subfolders.
            std::vector<std::pair<std::string, std::string>> files;
            std::vector<std::string> entries;
            for (int folder = 0; folder < 3; ++folder) {
                const std::string dir = tree + (folder == 0 ? "" : "/s" + std::to_string(folder));
                std::filesystem::create_directories(dir);
                for (int i = 0; i < 30; ++i) {
                    const std::string path = dir + "/f" + std::to_string(100 + i);
                    const std::string content = RandomContent(random);
                    const bool readOnly = random() % 25 == 0;
                    WriteFile(path, content, readOnly ? 0444 : 0644);
                    const bool binary = host.skipBinary && std::any_of(content.begin(), content.end(), [](char b) {
                                            return IsControl(static_cast<unsigned char>(b));
                                        });
                    if (binary) {
                        entries.push_back("!_  Бинарный файл: " + path);
                    } else if (readOnly) {
                        entries.push_back("!_ Ошибка 75 Системные, скрытые и файлы только для чтения не перезаписываются. - " + path);
                    }
                    files.emplace_back(path, binary || readOnly ? content : Model(content, direction));
                }
            }
            ConvertFolderTree(engine, tree, direction);
            EXPECT_EQ(log.Entries(), entries) << threads << " threads, round " << round;
            for (const auto& [path, expected] : files) {
                ASSERT_EQ(ReadFile(path), expected) << path << ", " << threads << " threads";
            }
            // A large file on its own, read ahead where there are threads.
            const std::string large = files.front().first;
            const std::string content = RandomContent(random) + std::string(3u << 20, 'x') + "\r\n";
            WriteFile(large, content);
            ASSERT_TRUE(engine.Convert(large, direction));
            EXPECT_EQ(ReadFile(large), Model(content, direction));
            engine.Unload();
        }
    }
}

}  // namespace
}  // namespace tidelin::test
