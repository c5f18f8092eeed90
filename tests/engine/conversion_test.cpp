// Conversions of real files through the engine, byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tidelin/errors.h"
#include "kernels.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

const std::int64_t Chunk = Engine::ChunkSize;

// `count` bytes of text without line breaks.
std::string Text(std::int64_t count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    return text;
}

struct ConversionCase {
    const char* name;
    std::string input;
    std::string winToUnix;
    std::string unixToWin;
};

std::vector<ConversionCase> ConversionCases() {
    const std::string fill = Text(Chunk - 1);
    return {
        {"Empty", "", "", ""},
        {"LoneCr", "a\rb", "a\rb", "ab"},
        {"LoneLf", "a\nb", "a\nb", "a\r\nb"},
        {"CrLf", "a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
        {"CrCrLf", "a\r\r\nb", "a\r\nb", "a\r\nb"},
        {"LfCr", "a\n\rb", "a\n\rb", "a\r\nb"},
        {"CrAtEnd", "a\r\nb\r", "a\nb\r", "a\r\nb"},
        {"OnlyCr", "\r", "\r", ""},
        {"Binary bytes pass unchanged", std::string("\0\xff\r\n\x7f", 5), std::string("\0\xff\n\x7f", 4),
         std::string("\0\xff\r\n\x7f", 5)},
        // CR as byte 65529 and LF as byte 65530: the pair straddles the chunk boundary.
        {"PairAcrossChunks", fill + "\r\nz", fill + "\nz", fill + "\r\nz"},
        // CR ending the first chunk, not followed by LF.
        {"CrEndsChunkAlone", fill + "\rz", fill + "\rz", fill + "z"},
        // CR ending the first chunk with nothing after it: the last iteration reads nothing.
        {"CrEndsFileAtChunk", fill + "\r", fill + "\r", fill},
        {"ExactlyOneChunk", Text(Chunk), Text(Chunk), Text(Chunk)},
        {"CrCrAcrossChunks", fill + "\r\r\n", fill + "\r\n", fill + "\r\n"},
    };
}

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.name; }

class ConversionTableTest
    : public EngineTest,
      public ::testing::WithParamInterface<std::tuple<ConversionCase, kernels::Level>> {};

TEST_P(ConversionTableTest, ConvertsByteForByteInBothDirections) {
    const auto& [c, level] = GetParam();
    if (!kernels::LevelSupported(level)) {
        GTEST_SKIP() << "this processor lacks " << kernels::LevelName(level);
    }
    const kernels::LevelGuard guard(level);
    host.skipBinary = false;
    const std::string path = Path("file.txt");

    WriteFile(path, c.input);
    EXPECT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), c.winToUnix);

    WriteFile(path, c.input);
    EXPECT_TRUE(engine->ConvertUnixToWin(path));
    EXPECT_EQ(ReadFile(path), c.unixToWin);

    // Converting Unix to Windows output again changes nothing.
    EXPECT_TRUE(engine->ConvertUnixToWin(path));
    EXPECT_EQ(ReadFile(path), c.unixToWin);
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_FALSE(Exists(engine->WorkFile()));
}

INSTANTIATE_TEST_SUITE_P(Cases, ConversionTableTest,
                         ::testing::Combine(::testing::ValuesIn(ConversionCases()),
                                            ::testing::Values(kernels::Level::Reference, kernels::Level::Sse2,
                                                              kernels::Level::Avx2, kernels::Level::Avx512)),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).name;
                             std::erase(name, ' ');
                             return name + "_" + kernels::LevelName(std::get<1>(info.param));
                         });

TEST_F(EngineTest, SeveralChunksWithPairsOnEveryBoundary) {
    host.skipBinary = false;
    // Each chunk ends with a CR and the next one starts with its LF.
    std::string input = Text(Chunk - 1) + "\r";
    std::string expected = Text(Chunk - 1);
    for (int chunk = 1; chunk < 4; ++chunk) {
        input += "\n" + Text(Chunk - 2) + "\r";
        expected += "\n" + Text(Chunk - 2);
    }
    input += "\nend";
    expected += "\nend";
    const std::string path = Path("multi.txt");
    WriteFile(path, input);
    EXPECT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(EngineTest, TheHostGetsATurnForEveryChunkRead) {
    // The window stays responsive through a long conversion: it gets a turn at least once per
    // chunk read, and at least once for any file.
    host.skipBinary = false;
    for (const std::int64_t size : {std::int64_t{0}, std::int64_t{1}, Chunk, 3 * Chunk + 1}) {
        const std::string path = Path("y.txt");
        WriteFile(path, Text(size));
        host.yields = 0;
        ASSERT_TRUE(engine->ConvertWinToUnix(path));
        EXPECT_GE(host.yields, std::max<std::int64_t>(1, (size + Chunk - 1) / Chunk)) << "size " << size;
    }
}

TEST_F(EngineTest, BinaryFileIsSkippedWithItsEntryAndWidth) {
    const std::string path = Path("data.bin");
    WriteFile(path, std::string("ab\0cd\r\n", 7));
    EXPECT_FALSE(engine->ConvertWinToUnix(path));
    EXPECT_FALSE(engine->ConvertUnixToWin(path));
    EXPECT_EQ(ReadFile(path), std::string("ab\0cd\r\n", 7));
    ASSERT_EQ(log.Entries().size(), 2u);
    EXPECT_EQ(log.Entries()[0], "!_  Бинарный файл: " + path);
    EXPECT_EQ(host.widthSubjects, (std::vector<std::string>{path, path}));
    EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source));

    // With skipping off the same file is converted like any other.
    host.skipBinary = false;
    EXPECT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), std::string("ab\0cd\n", 6));
}

TEST_F(EngineTest, TextWithOnlyTabLfAndCrIsConverted) {
    const std::string path = Path("tabs.txt");
    WriteFile(path, "a\tb\r\nc\xd0\xb0\x7f\r\n");
    EXPECT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), "a\tb\nc\xd0\xb0\x7f\n");
}

TEST_F(EngineTest, SizeLimitIsCheckedOnSparseFiles) {
    // At the limit the file is opened: its zero bytes make it binary. One byte more and it
    // is refused for its size without being opened, and its entry records no width.
    const std::string atLimit = Path("at-limit.bin");
    const std::string overLimit = Path("over-limit.bin");
    MakeSparseFile(atLimit, Engine::MaxFileSize);
    MakeSparseFile(overLimit, Engine::MaxFileSize + 1);

    EXPECT_FALSE(engine->ConvertWinToUnix(atLimit));
    EXPECT_FALSE(engine->ConvertUnixToWin(overLimit));
    host.skipBinary = false;
    EXPECT_FALSE(engine->ConvertWinToUnix(overLimit));

    const std::vector<std::string> expected = {
        "!_  Бинарный файл: " + atLimit,
        "!_  Размер файла больше 2047 МБ: " + overLimit,
        "!_  Размер файла больше 2047 МБ: " + overLimit,
    };
    ASSERT_GE(log.Entries().size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.Entries().begin(), log.Entries().begin() + 3), expected);
    EXPECT_EQ(host.widthSubjects, std::vector<std::string>{atLimit});
    EXPECT_FALSE(engine->IsBinaryFile(overLimit));
    EXPECT_TRUE(engine->IsBinaryFile(atLimit));
}

TEST_F(EngineTest, MissingFileRaisesFileNotFound) {
    for (const bool skip : {true, false}) {
        host.skipBinary = skip;
        EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(Path("missing.txt")); }),
                  err::FileNotFound);
        EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertUnixToWin(Path("no/such/dir.txt")); }),
                  err::FileNotFound);
    }
    EXPECT_TRUE(log.Entries().empty());
}

struct ProtectedCase {
    const char* name;
    // Makes the protected entry at `path` holding `content`; returns false to skip.
    std::function<void(const std::string& path, const std::string& content)> make;
    // A regular file is refused only at the replacement, after a full conversion; the other
    // kinds are refused before a byte is read.
    bool convertedIntoWorkFile;
};

void PrintTo(const ProtectedCase& c, std::ostream* out) { *out << c.name; }

class ProtectedSourceTest : public EngineTest,
                            public ::testing::WithParamInterface<ProtectedCase> {};

TEST_P(ProtectedSourceTest, IsRefusedAndKeepsItsContent) {
    const ProtectedCase& c = GetParam();
    const std::string content = "one\r\ntwo\r\n";
    const std::string path = Path(c.name[0] == 'H' ? ".hidden.txt" : "protected");
    c.make(path, content);
    for (const bool skip : {true, false}) {
        host.skipBinary = skip;
        EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::PathFileAccess);
        engine->CloseAllFiles();
        if (c.convertedIntoWorkFile) {
            EXPECT_EQ(ReadFile(path), content);
        }
        // The converted content is dropped: nothing is left beside the source or in the
        // temporary folder.
        const auto entries = std::distance(std::filesystem::directory_iterator(Root()), {});
        EXPECT_EQ(entries, c.name == std::string("SymbolicLink") ? 3 : 2);  // the entry, tmp
        EXPECT_TRUE(std::filesystem::is_empty(TempDir()));
        EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source));
    }
    EXPECT_TRUE(log.Entries().empty());
    if (c.name == std::string("SymbolicLink")) {
        EXPECT_EQ(ReadFile(path + ".target"), content);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ProtectedSourceTest,
    ::testing::Values(
        ProtectedCase{"ReadOnly",
                      [](const std::string& p, const std::string& c) { WriteFile(p, c, 0444); }, true},
        ProtectedCase{"Hidden",
                      [](const std::string& p, const std::string& c) { WriteFile(p, c, 0644); }, true},
        ProtectedCase{"SymbolicLink",
                      [](const std::string& p, const std::string& c) {
                          WriteFile(p + ".target", c);
                          ASSERT_EQ(::symlink((p + ".target").c_str(), p.c_str()), 0);
                      },
                      false},
        ProtectedCase{"Fifo",
                      [](const std::string& p, const std::string&) {
                          ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0);
                      },
                      false},
        ProtectedCase{"Folder",
                      [](const std::string& p, const std::string&) {
                          ASSERT_EQ(::mkdir(p.c_str(), 0755), 0);
                      },
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, SymbolicLinkTargetIsNeverTouched) {
    const std::string target = Path("target.txt");
    WriteFile(target, "a\r\n");
    ASSERT_EQ(::symlink(target.c_str(), Path("link.txt").c_str()), 0);
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(Path("link.txt")); }), err::PathFileAccess);
    EXPECT_EQ(ReadFile(target), "a\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(Path("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(EngineTest, OpenFileNumberInUseFailsAndCloseAllFreesIt) {
    const std::string path = Path("a.txt");
    WriteFile(path, "x\r\n");
    engine->Core().Files().Open(OpenFileTable::Source, [&] { return fs::File::OpenForReading(path); });
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::FileAlreadyOpen);
    EXPECT_EQ(ReadFile(path), "x\r\n");
    engine->CloseAllFiles();
    engine->CloseAllFiles();  // closing all succeeds also when none is open
    EXPECT_TRUE(engine->ConvertWinToUnix(path));
    EXPECT_EQ(ReadFile(path), "x\n");
}

TEST_F(EngineTest, FileThatChangesWhileReadIsNotReplaced) {
    // Another program changes the file while it is read, or between the last read and the
    // replacement: the conversion fails with 57 and the file keeps the other program's change.
    host.skipBinary = false;
    const std::string path = Path("growing.txt");
    const std::string content = Text(3 * Chunk) + "\r\n";
    const auto append = [&] {
        std::ofstream(path, std::ios::app | std::ios::binary) << "more\r\n";
    };
    const auto overwrite = [&] {
        std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << "X";
    };
    const auto saveByRename = [&] {
        WriteFile(Path("saved"), "saved\r\n");
        ASSERT_EQ(::rename(Path("saved").c_str(), path.c_str()), 0);
    };
    const struct {
        const char* name;
        std::function<void()> change;
        bool whileRead;  // otherwise just before the replacement
    } cases[] = {
        {"grows", [&] { ::truncate(path.c_str(), 3 * Chunk + 100); }, true},
        {"shrinks", [&] { ::truncate(path.c_str(), Chunk + 5); }, true},
        {"overwritten in place", overwrite, true},
        {"appended to at the end", append, false},
        {"overwritten in place at the end", overwrite, false},
        {"truncated at the end", [&] { ::truncate(path.c_str(), 10); }, false},
        {"saved by rename at the end", saveByRename, false},
        {"removed at the end", [&] { ::unlink(path.c_str()); }, false},
        {"permissions changed at the end", [&] { ::chmod(path.c_str(), 0600); }, false},
    };
    for (const bool unnamed : {true, false}) {
        std::unique_ptr<NamedWorkFileOnly> named(unnamed ? nullptr : new NamedWorkFileOnly);
        for (const auto& c : cases) {
            WriteFile(path, content);
            std::string changed;
            const auto change = [&] {
                if (changed.empty()) {
                    c.change();
                    changed = Exists(path) ? ReadFile(path) : "(removed)";
                }
            };
            host.onYield = [&] {
                if (c.whileRead) {
                    change();
                }
            };
            BeforePublish hook([&](const std::string&) { change(); });
            EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::DeviceIo) << c.name;
            host.onYield = nullptr;
            engine->CloseAllFiles();
            EXPECT_TRUE((Exists(path) ? ReadFile(path) : "(removed)") == changed) << c.name;
            // Nothing of the conversion is left beside the file.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Root()), {}), Exists(path) ? 2 : 1)
                << c.name;
        }
    }
}

}  // namespace
}  // namespace tidelin::test

namespace tidelin::test {
namespace {

TEST_F(EngineTest, BinaryFileIsSkippedWhereverItsControlByteIsAndWhateverFailsOnTheWay) {
    const std::string text(3 * Engine::ChunkSize, 'a');
    const struct {
        const char* name;
        std::string content;
        std::function<void(Engine&)> obstruct;
    } cases[] = {
        {"control byte in the last chunk", text + "\r\n\x1b", nullptr},
        {"control byte in the first chunk", "\x01" + text, nullptr},
        {"no copy can be made", text + "\x02",
         [this](Engine&) { std::filesystem::remove_all(TempDir()); }},
        {"number 2 in use", text + "\x03",
         [](Engine& e) {
             e.Core().Files().Open(OpenFileTable::Work, [&] { return fs::File::CreateWorkFile(e.WorkFile() + "x"); });
         }},
    };
    NamedWorkFileOnly named;  // in the temporary folder, which a case may remove
    for (const auto& c : cases) {
        const std::string path = Path("late.bin");
        WriteFile(path, c.content);
        if (c.obstruct) {
            c.obstruct(*engine);
        }
        log.Clear();
        EXPECT_FALSE(engine->ConvertWinToUnix(path)) << c.name;
        EXPECT_EQ(log.Entries(), std::vector<std::string>{"!_  Бинарный файл: " + path}) << c.name;
        EXPECT_EQ(ReadFile(path), c.content) << c.name;
        EXPECT_FALSE(engine->Core().Files().IsOpen(OpenFileTable::Source)) << c.name;
        engine->CloseAllFiles();
        std::filesystem::remove_all(TempDir());
        std::filesystem::create_directory(TempDir());
    }
}

TEST_F(EngineTest, TextFileWithAFailureOnTheWayStillRaises) {
    const std::string path = Path("a.txt");
    WriteFile(path, std::string(2 * Engine::ChunkSize, 'a'));
    NamedWorkFileOnly named;
    std::filesystem::remove_all(TempDir());
    EXPECT_EQ(ErrorNumberOf([&] { engine->ConvertWinToUnix(path); }), err::FileNotFound);
    EXPECT_TRUE(log.Entries().empty());
}

}  // namespace
}  // namespace tidelin::test
