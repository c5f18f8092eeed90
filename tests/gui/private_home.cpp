// Linked into every window test program: it runs with a home folder of its own, so what Qt
// keeps for the user (the file dialog's recent places under ~/.config, for one) never reaches
// the real one. The folder is made in TMPDIR (or /tmp) and removed when the program ends.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class PrivateHome {
public:
    PrivateHome() {
        const char* tmpdir = std::getenv("TMPDIR");
        std::string pattern = std::string(tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp") + "/tidelin-home-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror(pattern.c_str());
            std::exit(1);
        }
        root_ = pattern;
        const std::string runtime = root_ + "/runtime";
        ::mkdir(runtime.c_str(), 0700);
        ::setenv("HOME", root_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
            ::unsetenv(name);
        }
    }
    ~PrivateHome() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

private:
    std::string root_;
};

const PrivateHome home;

}  // namespace
