// Choosing the work file at load and removing a left-over one at unload.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tidelin/errors.h"
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

TEST_F(WorkFileTest, ATemporaryFolderThatIsAFileTakesNoName) {
    // Nothing can stand below a file, so the first name is free, as in a missing folder; the
    // load step does not fail, and a conversion that needs the named work file fails there.
    WriteFile(Path("plain-file"), "");
    ::setenv("TMPDIR", Path("plain-file").c_str(), 1);
    EXPECT_EQ(Choose(), Path("plain-file") + "/k5ywhqx");
}

TEST_F(WorkFileTest, StaleWorkFilesOfCrashedRunsAreRemovedAtLoad) {
    // Only this user's regular files of mode 0600 with one link, named as work files, that no
    // running instance holds locked.
    const struct {
        const char* name;
        unsigned mode;
        bool removed;
        std::function<void(const std::string&)> also;
        bool needsRoot;
    } cases[] = {
        {"k5ywhqx", 0600, true, nullptr, false},
        {"k5ywhqx12", 0600, true, nullptr, false},
        {"k5ywhqx3", 0644, false, nullptr, false},
        {"k5ywhqxa", 0600, false, nullptr, false},
        {"k5ywhqx4", 0600, false, [](const std::string& p) { ::flock(::open(p.c_str(), O_RDONLY), LOCK_EX); }, false},
        {"k5ywhqx5", 0600, false, [this](const std::string& p) { ::link(p.c_str(), Path("other-name").c_str()); }, false},
        {"k5ywhqx6", 0600, false, [](const std::string& p) { ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0); }, true},
    };
    std::vector<int> open;  // descriptors that hold a lock, as a running instance would
    for (const auto& c : cases) {
        if (c.needsRoot && ::geteuid() != 0) {
            continue;
        }
        WriteFile(Temp(c.name), "left over", c.mode);
        if (c.also) {
            const int before = ::open("/dev/null", O_RDONLY);
            ::close(before);
            c.also(Temp(c.name));
            open.push_back(before);  // the lowest free descriptor: the one the lock took
        }
    }
    Choose();
    for (const auto& c : cases) {
        if (!c.needsRoot || ::geteuid() == 0) {
            EXPECT_EQ(Exists(Temp(c.name)), !c.removed) << c.name;
        }
    }
    for (const int fd : open) {
        ::close(fd);
    }
}

TEST_F(WorkFileTest, NamedWorkFileLivesOnlyWhileAConversionRuns) {
    NamedWorkFileOnly named;
    Engine engine(host, log);
    engine.ChooseWorkFile();
    EXPECT_FALSE(Exists(engine.WorkFile()));
    host.skipBinary = false;
    WriteFile(Path("a.txt"), "a\r\n", 0444);
    bool existed = false;
    host.onYield = [&] { existed = Exists(engine.WorkFile()); };
    EXPECT_NE(ErrorNumberOf([&] { engine.ConvertWinToUnix(Path("a.txt")); }), 0);
    EXPECT_TRUE(existed);
    engine.CloseAllFiles();
    engine.Unload();  // the failed conversion's left-over is this run's own
    EXPECT_FALSE(Exists(engine.WorkFile()));
}

TEST_F(WorkFileTest, UnloadDeletesOnlyTheWorkFileThisRunCreated) {
    NamedWorkFileOnly named;
    const std::string target = Path("target");
    const auto leftOver = [](Engine& e, const std::string& source) {
        std::filesystem::remove(source);
        WriteFile(source, "a\r\n", 0444);
        EXPECT_NE(ErrorNumberOf([&] { e.ConvertWinToUnix(source); }), 0);
        e.CloseAllFiles();
    };
    const struct {
        const char* name;
        std::function<void(Engine&, const std::string&)> make;
        bool removed;
    } cases[] = {
        {"its own left-over", [&](Engine& e, const std::string&) { leftOver(e, Path("a.txt")); }, true},
        {"a file put there by another", [](Engine&, const std::string& p) { WriteFile(p, "theirs"); }, false},
        {"its own left-over replaced by another file",
         [&](Engine& e, const std::string& p) {
             leftOver(e, Path("a.txt"));
             ASSERT_EQ(::rename(p.c_str(), Path("moved").c_str()), 0);
             WriteFile(p, "theirs", 0600);
         },
         false},
        {"folder", [](Engine&, const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, false},
        {"link", [&](Engine&, const std::string& p) { ASSERT_EQ(::symlink(target.c_str(), p.c_str()), 0); }, false},
        {"fifo", [](Engine&, const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false},
    };
    for (const auto& c : cases) {
        WriteFile(target, "keep");
        Engine engine(host, log);
        engine.ChooseWorkFile();
        c.make(engine, engine.WorkFile());
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
    engine.Core().Files().Open(OpenFileTable::Work, [&] { return fs::File::CreateWorkFile(Path("other")); });
    EXPECT_EQ(ErrorNumberOf([&] { engine.ConvertWinToUnix(Path("a.txt")); }), err::FileAlreadyOpen);
    EXPECT_TRUE(engine.Core().Files().IsOpen(OpenFileTable::Source));
    engine.Unload();
    EXPECT_FALSE(engine.Core().Files().IsOpen(OpenFileTable::Source));
    EXPECT_FALSE(engine.Core().Files().IsOpen(OpenFileTable::Work));
    EXPECT_TRUE(Exists(Path("other")));  // not the engine's to delete
}

}  // namespace
}  // namespace tidelin::test

namespace tidelin::test {
namespace {

// Sets an environment variable for as long as it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        if (value.empty()) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value.c_str(), 1);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class InstanceLockTest : public TempFolderTest {};

TEST_F(InstanceLockTest, HeldInAPrivatePlacePerTemporaryFolder) {
    using State = fs::InstanceLock::State;
    ASSERT_EQ(::mkdir(Path("runtime").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("shared").c_str(), 0777), 0);
    ASSERT_EQ(::chmod(Path("shared").c_str(), 0777), 0);
    ASSERT_EQ(::symlink(Path("runtime").c_str(), Path("link").c_str()), 0);
    ASSERT_EQ(::mkdir(Path("home").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("other-tmp").c_str(), 0700), 0);
    const struct {
        const char* name;
        std::string runtime;  // empty: not set
        State first;
    } cases[] = {
        {"runtime folder", Path("runtime"), State::Acquired},
        {"under the home folder", "", State::Acquired},
        {"a folder others may write", Path("shared"), State::Unavailable},
        {"a link to a private folder", Path("link"), State::Unavailable},
        {"missing", Path("missing"), State::Unavailable},
    };
    const ScopedEnv home("HOME", Path("home"));
    for (const auto& c : cases) {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
        const auto first = fs::InstanceLock::Acquire();
        EXPECT_EQ(first.GetState(), c.first) << c.name;
        if (c.first != State::Acquired) {
            continue;
        }
        EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), State::HeldElsewhere) << c.name;
        {
            const ScopedEnv otherTemporaryFolder("TMPDIR", Path("other-tmp"));
            EXPECT_EQ(fs::InstanceLock::Acquire().GetState(), State::Acquired) << c.name;
        }
    }
    EXPECT_EQ(ModeOf(Path("home/.cache/tidelin")), 0700u);
    // Nothing of the lock in the shared folder.
    EXPECT_TRUE(std::filesystem::is_empty(Path("shared")));
}

}  // namespace
}  // namespace tidelin::test
