// Shared pieces of the engine tests: a fresh temporary folder per test with a private
// TMPDIR, a scriptable host, and helpers for real files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine_core.h"
#include "tidelin/engine.h"
#include "filesystem.h"
#include "tidelin/message_log.h"

namespace tidelin::test {

// The host of the engine tests, which also watches the message log.
class TestHost : public EngineHost, public MessageLogObserver {
public:
    bool skipBinary = true;
    int yields = 0;
    std::function<void()> onYield;
    // The paths whose width the entries so far asked the window to record, in order.
    std::vector<std::string> widthSubjects;

    // A walk is asked to stop before this many files (never while negative).
    int stopAfterFiles = -1;
    int filesDone = 0;

    bool SkipBinary() override { return skipBinary; }
    void EntryAppended(const std::string&, const std::string& widthSubject) override {
        if (!widthSubject.empty()) {
            widthSubjects.push_back(widthSubject);
        }
    }
    void EntriesCleared() override {}
    void FileDone() override { ++filesDone; }
    bool StopRequested() override { return stopAfterFiles >= 0 && filesDone >= stopAfterFiles; }
    void Yield() override {
        ++yields;
        if (onYield) {
            onYield();
        }
    }
};

// A fresh folder for the test (removed afterwards) with TMPDIR pointing at its "tmp". The
// test may change TMPDIR and the working folder: both are put back when it ends.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Path of `name` inside the test's folder.
    std::string Path(const std::string& name) const { return root_ + fs::PathSeparator + name; }
    const std::string& Root() const { return root_; }
    const std::string& TempDir() const { return tempDir_; }

    // A test that needs another place for its folder (for example another file system)
    // sets this before SetUp runs.
    std::string parent_;

private:
    std::string root_;
    std::string tempDir_;
    std::string savedTmpdir_;
    bool hadTmpdir_ = false;
    std::string savedWorkingFolder_;
    bool saved_ = false;
    std::optional<std::string> savedRuntime_;
};

// An engine in a fresh folder, with its work file already chosen.
class EngineTest : public TempFolderTest {
protected:
    void SetUp() override;

    TestHost host;
    MessageLog log;
    std::unique_ptr<Engine> engine;
};

// While it lives, every folder looks as if it offered no unnamed files, so conversions go
// through the named work file.
struct NamedWorkFileOnly {
    NamedWorkFileOnly() { fs::SetUnnamedFilesOffered(false); }
    ~NamedWorkFileOnly() { fs::SetUnnamedFilesOffered(true); }
};

// Sets TIDELIN_THREADS while it lives.
struct Threads {
    explicit Threads(const char* count);
    ~Threads();
    std::optional<std::string> saved;
};

// While it lives, `hook` runs just before a converted file takes its source's place.
struct BeforePublish {
    explicit BeforePublish(std::function<void(const std::string&)> hook) {
        fs::SetBeforePublishHook(std::move(hook));
    }
    ~BeforePublish() { fs::SetBeforePublishHook(nullptr); }
};

void WriteFile(const std::string& path, const std::string& content, unsigned mode = 0644);
std::string ReadFile(const std::string& path);
// A file of `size` bytes that takes no room on the disk (it reads as zero bytes).
void MakeSparseFile(const std::string& path, std::int64_t size);
std::uint32_t ModeOf(const std::string& path);
bool Exists(const std::string& path);
// Runs `function` and returns the number of the EngineError it raised, or 0.
int ErrorNumberOf(const std::function<void()>& function);

}  // namespace tidelin::test
