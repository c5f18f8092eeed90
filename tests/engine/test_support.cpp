#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tidelin/errors.h"

namespace tidelin::test {

namespace {

// Holds every test to leaving the process as it found it: the working folder, TMPDIR, HOME
// and XDG_RUNTIME_DIR. A test that changes one and does not put it back fails, whatever runs after it.
class ProcessStateGuard : public ::testing::EmptyTestEventListener {
    static std::vector<std::string> Snapshot() {
        std::vector<std::string> state;
        std::error_code error;
        state.push_back("working folder " + std::filesystem::current_path(error).string());
        for (const char* name : {"TMPDIR", "HOME", "XDG_RUNTIME_DIR"}) {
            const char* value = std::getenv(name);
            state.push_back(std::string(name) + (value != nullptr ? "=" + std::string(value) : " unset"));
        }
        return state;
    }
    void OnTestStart(const ::testing::TestInfo&) override { before_ = Snapshot(); }
    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::vector<std::string> after = Snapshot();
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i], before_[i]) << "the test did not put this back";
        }
    }
    std::vector<std::string> before_;
};

const bool guardInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateGuard);
    return true;
}();

}  // namespace

void TempFolderTest::SetUp() {
    const char* tmpdir = std::getenv("TMPDIR");
    hadTmpdir_ = tmpdir != nullptr;
    savedTmpdir_ = hadTmpdir_ ? tmpdir : "";
    savedWorkingFolder_ = std::filesystem::current_path().string();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    savedRuntime_ = runtime != nullptr ? std::optional<std::string>(runtime) : std::nullopt;
    saved_ = true;
    std::string parent = parent_;
    if (parent.empty()) {
        parent = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
    }
    std::string pattern = parent + "/tidelin-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << "cannot create a test folder in " << parent;
    root_ = pattern;
    tempDir_ = root_ + "/tmp";
    ASSERT_EQ(::mkdir(tempDir_.c_str(), 0700), 0);
    ::setenv("TMPDIR", tempDir_.c_str(), 1);
    // The single-instance lock of the programs a test runs stays in the test's folder too.
    ::setenv("XDG_RUNTIME_DIR", tempDir_.c_str(), 1);
}

void TempFolderTest::TearDown() {
    // A test that skipped before SetUp ran has nothing to put back.
    if (saved_) {
        if (savedRuntime_) {
            ::setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        if (hadTmpdir_) {
            ::setenv("TMPDIR", savedTmpdir_.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        EXPECT_EQ(::chdir(savedWorkingFolder_.c_str()), 0) << savedWorkingFolder_;
    }
    if (!root_.empty()) {
        // Give back write permission first so that protected entries can be removed.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                ::chmod(it->path().c_str(), 0700);
            }
        }
        ::chmod(root_.c_str(), 0700);
        std::filesystem::remove_all(root_, ignored);
    }
}

void EngineTest::SetUp() {
    TempFolderTest::SetUp();
    log.SetObserver(&host);
    engine = std::make_unique<Engine>(host, log);
    engine->ChooseWorkFile();
    host.yields = 0;
}

Threads::Threads(const char* count) {
    const char* old = std::getenv("TIDELIN_THREADS");
    saved = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("TIDELIN_THREADS", count, 1);
}

Threads::~Threads() { saved ? ::setenv("TIDELIN_THREADS", saved->c_str(), 1) : ::unsetenv("TIDELIN_THREADS"); }

void WriteFile(const std::string& path, const std::string& content, unsigned mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(out) << path;
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void MakeSparseFile(const std::string& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

std::uint32_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFFFFFF;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int ErrorNumberOf(const std::function<void()>& function) {
    try {
        function();
    } catch (const EngineError& error) {
        return error.Number();
    }
    return 0;
}

}  // namespace tidelin::test
