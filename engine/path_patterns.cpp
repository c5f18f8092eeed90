// Glob matching without a regex library: a walk asks once per entry, so each name is matched
// by the two-pointer wildcard loop (a "*" backtracks only to the latest star) and "**" by
// trying each count of folders it may stand for.
#include "path_patterns.h"

namespace tidelin {

namespace {

const char* const UnclosedClass = "an unclosed [";
const char* const TrailingBackslash = "a trailing \\";
const char* const EmptyPattern = "an empty pattern";

char Fold(char c, bool ignoreCase) {
    return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A UTF-8 continuation byte: "?" takes a whole character, not a piece of one.
bool Continues(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

PathPatterns::PathPatterns(PatternRules rules) : rules_(rules) {}

std::vector<std::string> PathPatterns::Split(const std::string& relative) const {
    std::vector<std::string> names(1);
    for (char c : relative) {
        if (c == '/' || (c == '\\' && rules_ == PatternRules::Windows)) {
            if (!names.back().empty()) {
                names.emplace_back();
            }
        } else {
            names.back() += c;
        }
    }
    if (names.back().empty()) {
        names.pop_back();
    }
    return names;
}

PathPatterns::Pattern PathPatterns::Compile(const std::string& glob) const {
    const bool windows = rules_ == PatternRules::Windows;
    const auto separator = [windows](char c) { return c == '/' || (windows && c == '\\'); };
    Pattern pattern;
    std::size_t begin = 0;
    std::size_t end = glob.size();
    if (end > 0 && separator(glob[0])) {
        pattern.anchored = true;
        ++begin;
    }
    // A trailing backslash on Linux escapes nothing, so it does not make the pattern a folder's.
    if (end > begin && separator(glob[end - 1]) && (windows || end < 2 || glob[end - 2] != '\\')) {
        pattern.foldersOnly = true;
        --end;
    }
    if (end <= begin) {
        throw PatternError(glob, EmptyPattern);
    }
    std::vector<Token> name;
    std::string text;  // the name as written, to tell "**" from an escaped "\*\*"
    const auto finish = [&] {
        if (text == "**") {
            name.clear();
        } else if (name.empty()) {
            return;  // "a//b": one separator
        }
        pattern.names.push_back(std::move(name));
        name.clear();
        text.clear();
    };
    for (std::size_t i = begin; i < end; ++i) {
        const char c = glob[i];
        if (separator(c)) {
            finish();
            continue;
        }
        text += c;
        Token token;
        token.kind = Token::Byte;
        if (c == '\\' && !windows) {
            if (++i == end) {
                throw PatternError(glob, TrailingBackslash);
            }
            token.byte = glob[i];
            text += '!';  // "\*\*" is two literal stars, never "**"
        } else if (c == '?') {
            token.kind = Token::One;
        } else if (c == '*') {
            token.kind = Token::Star;
        } else if (c == '[') {
            token.kind = Token::Class;
            std::size_t j = i + 1;
            if (j < end && (glob[j] == '!' || glob[j] == '^')) {
                token.negated = true;
                ++j;
            }
            bool first = true;
            for (;; first = false) {
                if (j >= end || separator(glob[j])) {
                    throw PatternError(glob, UnclosedClass);
                }
                if (glob[j] == ']' && !first) {
                    break;
                }
                char low = glob[j];
                if (low == '\\' && !windows && j + 1 < end) {
                    low = glob[++j];
                }
                char high = low;
                if (j + 2 < end && glob[j + 1] == '-' && glob[j + 2] != ']') {
                    j += 2;
                    high = glob[j];
                    if (high == '\\' && !windows && j + 1 < end) {
                        high = glob[++j];
                    }
                }
                token.ranges.emplace_back(low, high);
                ++j;
            }
            text.append(glob, i + 1, j - i);
            i = j;
        } else {
            token.byte = c;
        }
        name.push_back(std::move(token));
    }
    finish();
    // A single name (but not "**") matches at any depth; one with a "/" inside is anchored.
    if (pattern.names.size() > 1) {
        pattern.anchored = true;
    }
    return pattern;
}

bool PathPatterns::MatchesName(const std::vector<Token>& tokens, const std::string& name) const {
    const bool fold = rules_ == PatternRules::Windows;
    std::size_t t = 0, n = 0;
    std::size_t starToken = std::string::npos, starName = 0;
    while (n < name.size()) {
        bool step = false;
        std::size_t taken = 1;
        if (t < tokens.size()) {
            const Token& token = tokens[t];
            const char c = Fold(name[n], fold);
            switch (token.kind) {
                case Token::Star:
                    starToken = t++;
                    starName = n;
                    continue;
                case Token::Byte:
                    step = Fold(token.byte, fold) == c;
                    break;
                case Token::One:
                    step = true;
                    while (n + taken < name.size() && Continues(name[n + taken])) {
                        ++taken;
                    }
                    break;
                case Token::Class: {
                    bool in = false;
                    for (const auto& [low, high] : token.ranges) {
                        in = in || (Fold(low, fold) <= c && c <= Fold(high, fold)) || (low <= name[n] && name[n] <= high);
                    }
                    step = in != token.negated;
                    break;
                }
            }
        }
        if (step) {
            ++t;
            n += taken;
        } else if (starToken != std::string::npos) {
            t = starToken + 1;  // the latest star takes one byte more
            n = ++starName;
        } else {
            return false;
        }
    }
    while (t < tokens.size() && tokens[t].kind == Token::Star) {
        ++t;
    }
    return t == tokens.size();
}

bool PathPatterns::MatchesNames(const Pattern& pattern, const std::vector<std::string>& names, std::size_t pi,
                                std::size_t ni, std::size_t end) const {
    for (; pi < pattern.names.size(); ++pi, ++ni) {
        if (pattern.names[pi].empty()) {
            // "**": zero or more names; a trailing one at least one (everything below).
            const std::size_t least = pi + 1 == pattern.names.size() ? 1 : 0;
            for (std::size_t skip = ni + least; skip <= end; ++skip) {
                if (MatchesNames(pattern, names, pi + 1, skip, end)) {
                    return true;
                }
            }
            return false;
        }
        if (ni >= end || !MatchesName(pattern.names[pi], names[ni])) {
            return false;
        }
    }
    return ni == end;
}

bool PathPatterns::MatchesPrefix(const Pattern& pattern, const std::vector<std::string>& names, std::size_t count,
                                 bool folder) const {
    if (pattern.foldersOnly && !folder) {
        return false;
    }
    if (!pattern.anchored) {
        return MatchesNames(pattern, names, 0, count - 1, count);
    }
    return MatchesNames(pattern, names, 0, 0, count);
}

bool PathPatterns::Excluded(const std::vector<std::string>& names, bool folder) const {
    // The path itself and every folder on its way: a list's entry "a/.git/x" is below an
    // excluded folder though no walk entered it.
    for (std::size_t count = 1; count <= names.size(); ++count) {
        for (const Pattern& pattern : excludes_) {
            if (MatchesPrefix(pattern, names, count, folder || count < names.size())) {
                return true;
            }
        }
    }
    return false;
}

void PathPatterns::Include(const std::string& glob) {
    includes_.push_back(Compile(glob));
}

void PathPatterns::Exclude(const std::string& glob) {
    excludes_.push_back(Compile(glob));
}

void PathPatterns::ExcludeVcs() {
    for (const char* name : {".git", ".hg", ".svn", ".bzr", "_darcs", "CVS"}) {
        Exclude(name);
    }
}

bool PathPatterns::Empty() const {
    return includes_.empty() && excludes_.empty();
}

bool PathPatterns::EntersFolder(const std::string& relative) const {
    const std::vector<std::string> names = Split(relative);
    return names.empty() || !Excluded(names, true);
}

bool PathPatterns::SelectsFile(const std::string& relative) const {
    const std::vector<std::string> names = Split(relative);
    if (names.empty() || Excluded(names, false)) {
        return names.empty();
    }
    if (includes_.empty()) {
        return true;
    }
    for (const Pattern& pattern : includes_) {
        if (MatchesPrefix(pattern, names, names.size(), false)) {
            return true;
        }
        // Ending in "/", it selects the files below a matching folder.
        for (std::size_t count = 1; pattern.foldersOnly && count < names.size(); ++count) {
            if (MatchesPrefix(pattern, names, count, true)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace tidelin
