// The single-instance lock on Windows: a named mutex in the session's own namespace.
#include <cstdint>
#include <cwchar>
#include <string>

#include "tidelin/errors.h"
#include "filesystem.h"
#include "win32_support.h"

namespace tidelin::fs {

// The named mutex, closed when the lock goes away.
struct InstanceLock::Held {
    HANDLE mutex = nullptr;
    ~Held() {
        if (mutex != nullptr) {
            ::CloseHandle(mutex);
        }
    }
};

void InstanceLock::Release::operator()(Held* held) const noexcept { delete held; }

// A named mutex in the session's own namespace, keyed by the temporary folder: other users'
// sessions cannot see it, and it goes away with the last process that holds it.
InstanceLock InstanceLock::Acquire() {
    InstanceLock lock;
    std::wstring folder;
    try {
        folder = win32::Widen(TemporaryFolder());
    } catch (const EngineError&) {
        return lock;
    }
    // The same folder however its name is cased.
    std::wstring upper(folder.size(), L'\0');
    if (!folder.empty() &&
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folder.c_str(),
                        static_cast<int>(folder.size()), upper.data(),
                        static_cast<int>(upper.size()), nullptr, nullptr, 0) == 0) {
        upper = folder;
    }
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const wchar_t c : upper) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Tidelin-%016llx", static_cast<unsigned long long>(hash));
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr) {
        // A same-named object that is not this user's: the lock is unavailable, and the
        // window says so and does not start.
        return lock;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        lock.state_ = State::HeldElsewhere;
        return lock;
    }
    lock.held_.reset(new Held);
    lock.held_->mutex = mutex;
    lock.state_ = State::Acquired;
    return lock;
}

}  // namespace tidelin::fs
