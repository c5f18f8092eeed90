// Errors raised by the engine: a number in the classic runtime numbering and a short
// Russian description, travelling to the nearest caller that handles them. An error that a
// system call caused also keeps the operating system's own code and text, for tools and logs.
#pragma once

// The engine's own sources are built with TIDELIN_ENGINE_BUILD: Qt must not reach them.
#if defined(TIDELIN_ENGINE_BUILD) && (defined(QT_VERSION) || defined(QT_CORE_LIB))
#error "The engine must not depend on Qt"
#endif

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tidelin {

namespace err {
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t BadFileName = 52;
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t FileAlreadyOpen = 55;
constexpr std::int32_t DeviceIo = 57;
constexpr std::int32_t DiskFull = 61;
constexpr std::int32_t TooManyOpenFiles = 67;
constexpr std::int32_t PermissionDenied = 70;
constexpr std::int32_t PathFileAccess = 75;
constexpr std::int32_t PathNotFound = 76;
}  // namespace err

// Why a read-only, hidden or system file keeps its content; the main window says it too.
inline constexpr char ProtectedFileText[] =
    "Системные, скрытые и файлы только для чтения не перезаписываются.";

class EngineError : public std::runtime_error {
public:
    EngineError(std::int32_t number, std::string description, std::int64_t systemCode = 0,
                std::string systemText = {})
        : std::runtime_error(description),
          number_(number),
          description_(std::move(description)),
          systemCode_(systemCode),
          systemText_(std::move(systemText)) {}

    // Error 75 for a file this program does not rewrite by rule (a link, a special file, a
    // read-only, hidden or system file), as against one it could not rewrite.
    static EngineError Refusal(std::string description) {
        EngineError error(err::PathFileAccess, std::move(description));
        error.refusal_ = true;
        return error;
    }
    bool IsRefusal() const { return refusal_; }

    // What the windows show.
    std::int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    // The operating system's own code (errno, or a Win32 error code) and its text; 0 and ""
    // when the engine refused on its own.
    std::int64_t SystemCode() const { return systemCode_; }
    const std::string& SystemText() const { return systemText_; }

private:
    std::int32_t number_;
    std::string description_;
    std::int64_t systemCode_;
    std::string systemText_;
    bool refusal_ = false;
};

// ": ", the operating system's text and code, for the end of a tool's message ("": Permission
// denied (errno 13)"); empty when the error has no system cause.
std::string CauseSuffix(const EngineError& error);

// The overflow error, raised when an integer leaves its range.
[[noreturn]] void RaiseOverflow();

// Error 57 for a file that changed while it was read: it is not replaced.
[[noreturn]] void RaiseChangedWhileRead();


// The standard description of a numbered error.
std::string DescribeError(std::int32_t number);

}  // namespace tidelin
