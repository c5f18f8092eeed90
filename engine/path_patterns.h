// The walk's patterns (--include, --exclude, --exclude-vcs): which folders a walk enters and
// which files it converts, matched against a path below the walked folder (or a list's entry
// as listed) with "/" between names.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "tidelin/folder_walk.h"

namespace tidelin {

// How a platform spells its paths: on Windows "\\" separates names like "/" (so it escapes
// nothing) and names match regardless of case.
enum class PatternRules { Posix, Windows };

// A pattern that cannot be matched: a usage error. Reason() is one of the fixed English
// phrases "an unclosed [", "a trailing \\", "an empty pattern" (the tool translates them);
// what() names the pattern too.
class PatternError : public std::invalid_argument {
public:
    PatternError(const std::string& pattern, const std::string& reason)
        : std::invalid_argument(reason + " in pattern: " + pattern), reason_(reason) {}
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
};

class PathPatterns {
public:
    explicit PathPatterns(PatternRules rules);
    void Include(const std::string& glob);  // throws PatternError
    void Exclude(const std::string& glob);  // throws PatternError
    // Excludes .git (a folder, or the file of a submodule or worktree), .hg, .svn, .bzr,
    // _darcs and CVS at any depth.
    void ExcludeVcs();
    // No pattern at all: every folder is entered and every file selected.
    bool Empty() const;
    // `relative`: a folder's path below the walked folder, no leading "/". False when an
    // exclude pattern matches it or a folder on its way; include patterns never keep a folder out.
    bool EntersFolder(const std::string& relative) const;
    // Whether the file at `relative` is converted: no exclude pattern matches it or a folder
    // on its way, and, with any include pattern, one matches it (or, ending in "/", a folder
    // on its way).
    bool SelectsFile(const std::string& relative) const;

    // One name's part of a pattern: a literal byte, "?", a class or "*".
    struct Token {
        enum Kind { Byte, One, Class, Star } kind = Byte;
        char byte = 0;
        bool negated = false;
        std::vector<std::pair<char, char>> ranges;  // of a class, first to last
    };
    struct Pattern {
        std::vector<std::vector<Token>> names;  // an empty one stands for "**"
        bool anchored = false;                  // matched from the walked folder, else a name at any depth
        bool foldersOnly = false;               // ended in "/"
    };

private:
    Pattern Compile(const std::string& glob) const;
    bool MatchesName(const std::vector<Token>& tokens, const std::string& name) const;
    bool MatchesNames(const Pattern& pattern, const std::vector<std::string>& names, std::size_t pi,
                      std::size_t ni, std::size_t end) const;
    // Whether `pattern` matches the first `count` names, a folder's path when `folder`.
    bool MatchesPrefix(const Pattern& pattern, const std::vector<std::string>& names, std::size_t count,
                       bool folder) const;
    bool Excluded(const std::vector<std::string>& names, bool folder) const;
    std::vector<std::string> Split(const std::string& relative) const;

    PatternRules rules_;
    std::vector<Pattern> includes_;
    std::vector<Pattern> excludes_;
};

// The walk's patterns for `selection`, by this platform's rules; throws PatternError.
PathPatterns CompilePatterns(const WalkSelection& selection);

}  // namespace tidelin
