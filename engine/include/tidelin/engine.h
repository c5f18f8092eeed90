// The conversion engine: rewrites the line breaks of files in place through one private work
// file and tests files for binary content; folder_walk.h walks folder trees with it. It reports
// skipped files in the message log and failures as EngineError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tidelin/direction.h"
#include "tidelin/host.h"
#include "tidelin/message_log.h"

namespace tidelin {

class EngineCore;

// What a conversion does beyond its direction, as tidelin-convert's options ask; the window
// converts with the defaults.
struct ConversionOptions {
    // A file whose converted content equals its content is left as it is: no copy replaces
    // it, so it keeps its inode, its times and its other names.
    bool skipUnchanged = false;
    // A converted file keeps its modification and access times.
    bool keepDate = false;
    // Hidden files (on Linux a name beginning with ".") are converted like any other.
    bool includeHidden = false;
};

class Engine {
public:
    // The reading unit of the conversion and of the binary test: a file is read, tested and
    // converted this many bytes at a time (0xFFF9, as the program has always read, not 64 KiB),
    // and the host gets a turn after each, so the window repaints during a large file. A
    // chunk's CR LF output is at most twice its size, which bounds the memory a file needs.
    static constexpr std::int64_t ChunkSize = 65529;
    // The largest source that is converted, 14 bytes short of 2 GiB: a larger one is left
    // as it is with its own entry, whose text speaks of 2047 MB. The converted content's
    // write position then still fits a signed 32-bit number.
    static constexpr std::int64_t MaxFileSize = 2147483634;
    // The output may not pass this many bytes (a signed 32-bit write position from 1).
    static constexpr std::int64_t MaxOutputSize = 2147483646;

    static constexpr const char* BinaryEntryPrefix = "!_  Бинарный файл: ";
    static constexpr const char* TooLargeEntryPrefix = "!_  Размер файла больше 2047 МБ: ";

    Engine(EngineHost& host, MessageLog& log);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Load step: removes this user's work files that crashed runs left in the temporary folder,
    // then chooses WorkFile there, k5ywhqx or the first free one of k5ywhqx0, k5ywhqx1, ...
    // Any entry of a candidate's name counts as taken.
    void ChooseWorkFile();
    // The named work file, used where a source's folder offers no unnamed files; otherwise a
    // conversion writes into an unnamed file beside its source.
    const std::string& WorkFile() const;

    // Unload step: closes every open file and deletes a work file that this run created and
    // left over (never another file found at its name). Never fails.
    void Unload() noexcept;

    // Rewrite `path` in place: CR LF to LF, or every line break to CR LF. True when the file
    // was replaced (or, with skipUnchanged, needed no change), false when it was skipped with
    // an entry in the message log. Failures are
    // raised; the files they leave open are closed by the caller (CloseAllFiles).
    bool ConvertWinToUnix(const std::string& path) { return Convert(path, Direction::WinToUnix); }
    bool ConvertUnixToWin(const std::string& path) { return Convert(path, Direction::UnixToWin); }
    bool Convert(const std::string& path, Direction direction);

    // Whether the file holds a control byte other than TAB, LF and CR. Never raises: a file
    // that cannot be read is not binary.
    bool IsBinaryFile(const std::string& path);

    // The options of the conversions that follow (the defaults until set).
    void SetOptions(const ConversionOptions& options);

    // Closes every file the engine holds open (a failed conversion may leave some).
    void CloseAllFiles() noexcept;
    MessageLog& Log();
    EngineHost& Host();

    // The engine's own workings, for its folder walk and its tests.
    EngineCore& Core() { return *core_; }

private:
    std::unique_ptr<EngineCore> core_;
};

}  // namespace tidelin
