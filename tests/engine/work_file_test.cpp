// Choosing the work file at load and removing a left-over one at unload.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "errors.h"
#include "test_support.h"

namespace tidelin::test {
namespace {

class WorkFileTest : public TempFolderTest {
protected:
    std::string Choose() {
        Engine engine(host, log);
        engine.ChooseWorkFile();
        return engine.WorkFile();
    }
    std::string Temp(const std::string& name) const { return TempDir() + "/" + name; }

    TestHost host;
    MessageLog log;
};

TEST_F(WorkFileTest, FirstFreeCandidateIsChosen) {
    const struct {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::vector<std::string> danglingLinks;
        const char* expected;
    } cases[] = {
        {"none present", {}, {}, {}, "k5ywhqx"},
        {"two files", {"k5ywhqx", "k5ywhqx0"}, {}, {}, "k5ywhqx1"},
        {"a folder is taken", {}, {"k5ywhqx"}, {}, "k5ywhqx0"},
        {"a dangling link is taken", {}, {}, {"k5ywhqx"}, "k5ywhqx0"},
        {"gap", {"k5ywhqx", "k5ywhqx1"}, {}, {}, "k5ywhqx0"},
        {"mixed", {"k5ywhqx0"}, {"k5ywhqx"}, {"k5ywhqx1"}, "k5ywhqx2"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(TempDir());
        ASSERT_EQ(::mkdir(TempDir().c_str(), 0700), 0);
        for (const auto& name : c.files) {
            WriteFile(Temp(name), "", 0000);  // not even readable: still taken
        }
        for (const auto& name : c.folders) {
            ASSERT_EQ(::mkdir(Temp(name).c_str(), 0700), 0);
        }
        for (const auto& name : c.danglingLinks) {
            ASSERT_EQ(::symlink(Temp("nowhere").c_str(), Temp(name).c_str()), 0);
        }
        EXPECT_EQ(Choose(), Temp(c.expected)) << c.name;
        EXPECT_FALSE(Exists(Temp("nowhere"))) << c.name;
    }
}

TEST_F(WorkFileTest, TemporaryFolderComesFromTmpdir) {
    ::setenv("TMPDIR", (TempDir() + "//").c_str(), 1);
    EXPECT_EQ(Choose(), Temp("k5ywhqx"));
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(Choose().substr(0, 13), "/tmp/k5ywhqx");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(Choose().substr(0, 13), "/tmp/k5ywhqx");
}

TEST_F(WorkFileTest, UnusableTemporaryFolderRaises) {
    WriteFile(Path("plain-file"), "");
    ::setenv("TMPDIR", Path("plain-file").c_str(), 1);
    EXPECT_EQ(ErrorNumberOf([&] { Choose(); }), err::PathNotFound);
}

TEST_F(WorkFileTest, WorkFileIsCreatedByTheFirstConversionNotAtLoad) {
    Engine engine(host, log);
    engine.ChooseWorkFile();
    EXPECT_FALSE(Exists(engine.WorkFile()));
    host.skipBinary = false;
    WriteFile(Path("a.txt"), "a\r\n", 0444);
    EXPECT_NE(ErrorNumberOf([&] { engine.ConvertWinToUnix(Path("a.txt")); }), 0);
    EXPECT_TRUE(Exists(engine.WorkFile()));
}

TEST_F(WorkFileTest, UnloadDeletesOnlyALeftOverRegularWorkFile) {
    const std::string target = Path("target");
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        bool removed;
    } cases[] = {
        {"regular file", [](const std::string& p) { WriteFile(p, "left over"); }, true},
        {"read-only file", [](const std::string& p) { WriteFile(p, "left over", 0400); }, true},
        {"folder", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, false},
        {"link", [&](const std::string& p) { ASSERT_EQ(::symlink(target.c_str(), p.c_str()), 0); }, false},
        {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false},
    };
    for (const auto& c : cases) {
        WriteFile(target, "keep");
        Engine engine(host, log);
        engine.ChooseWorkFile();
        c.make(engine.WorkFile());
        engine.Unload();
        EXPECT_EQ(Exists(engine.WorkFile()), !c.removed) << c.name;
        EXPECT_EQ(ReadFile(target), "keep") << c.name;
        std::filesystem::remove_all(engine.WorkFile());
    }
    // Nothing left over: nothing fails and nothing else in the temporary folder is deleted,
    // also by an engine that never chose its work file.
    WriteFile(Temp("k5ywhqx0"), "another instance's");
    Engine engine(host, log);
    engine.ChooseWorkFile();
    EXPECT_NO_THROW(engine.Unload());
    Engine neverLoaded(host, log);
    EXPECT_NO_THROW(neverLoaded.Unload());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(TempDir()), {}), 1);
    EXPECT_EQ(ReadFile(Temp("k5ywhqx0")), "another instance's");
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(WorkFileTest, UnloadClosesFilesLeftOpenByAFailedConversion) {
    Engine engine(host, log);
    engine.ChooseWorkFile();
    host.skipBinary = false;
    WriteFile(Path("a.txt"), "a\r\n");
    engine.Files().Open(OpenFileTable::Work, [&] { return fs::File::CreateWorkFile(engine.WorkFile()); });
    EXPECT_EQ(ErrorNumberOf([&] { engine.ConvertWinToUnix(Path("a.txt")); }), err::FileAlreadyOpen);
    EXPECT_TRUE(engine.Files().IsOpen(OpenFileTable::Source));
    engine.Unload();
    EXPECT_FALSE(engine.Files().IsOpen(OpenFileTable::Source));
    EXPECT_FALSE(engine.Files().IsOpen(OpenFileTable::Work));
    EXPECT_FALSE(Exists(engine.WorkFile()));
}

}  // namespace
}  // namespace tidelin::test
