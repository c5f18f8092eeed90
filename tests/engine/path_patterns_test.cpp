// The walk's patterns: which folders are entered and which files are converted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path_patterns.h"

namespace tidelin::test {
namespace {

constexpr PatternRules P = PatternRules::Posix;
constexpr PatternRules W = PatternRules::Windows;

struct Row {
    PatternRules rules;
    std::vector<std::string> includes;
    std::vector<std::string> excludes;
    bool vcs;
    const char* path;
    bool folder;
    bool expected;  // entered, or selected
};

TEST(PathPatternsTest, FoldersEnteredAndFilesSelected) {
    const Row rows[] = {
        // A name at any depth, and only the last name of a file.
        {P, {"*.txt"}, {}, false, "a.txt", false, true},
        {P, {"*.txt"}, {}, false, "x/y/a.txt", false, true},
        {P, {"*.txt"}, {}, false, "x.txt/a.c", false, false},
        {P, {"*.txt"}, {}, false, "x/a.txt.bak", false, false},
        // Anchored and for folders only.
        {P, {}, {"/build/"}, false, "build", true, false},
        {P, {}, {"/build/"}, false, "build/x.c", false, false},
        {P, {}, {"/build/"}, false, "src/build", true, true},
        {P, {}, {"/build/"}, false, "build", false, true},
        {P, {}, {"build/"}, false, "src/build", true, false},
        // A "/" inside anchors; "*" never crosses one.
        {P, {"src/*.c"}, {}, false, "src/a.c", false, true},
        {P, {"src/*.c"}, {}, false, "lib/src/a.c", false, false},
        {P, {"src/*.c"}, {}, false, "src/x/a.c", false, false},
        {P, {"**/gen/*.c"}, {}, false, "gen/a.c", false, true},
        {P, {"**/gen/*.c"}, {}, false, "x/y/gen/a.c", false, true},
        {P, {"**/gen/*.c"}, {}, false, "x/gen/y/a.c", false, false},
        {P, {}, {"docs/**"}, false, "docs", true, true},
        {P, {}, {"docs/**"}, false, "docs/x", true, false},
        {P, {}, {"docs/**"}, false, "docs/x/y.md", false, false},
        {P, {}, {"docs/**"}, false, "docsy/y.md", false, true},
        {P, {"a/**/b"}, {}, false, "a/b", false, true},
        {P, {"a/**/b"}, {}, false, "a/x/y/b", false, true},
        {P, {"a/**/b"}, {}, false, "a/x/bb", false, false},
        // Classes, "?" and escapes.
        {P, {"[a-c]x"}, {}, false, "bx", false, true},
        {P, {"[a-c]x"}, {}, false, "dx", false, false},
        {P, {"[!a]x"}, {}, false, "ax", false, false},
        {P, {"[^a]x"}, {}, false, "bx", false, true},
        {P, {"[]a]x"}, {}, false, "]x", false, true},
        {P, {"\\*"}, {}, false, "*", false, true},
        {P, {"\\*"}, {}, false, "a", false, false},
        {P, {"?.c"}, {}, false, "a.c", false, true},
        {P, {"?.c"}, {}, false, "я.c", false, true},
        {P, {"?.c"}, {}, false, "ab.c", false, false},
        {P, {"a*b*c"}, {}, false, "aXbYbZc", false, true},
        {P, {"a*b*c"}, {}, false, "aXbYcZ", false, false},
        // An exclude wins; an include keeps no folder out.
        {P, {"*.c"}, {"gen*"}, false, "gen1.c", false, false},
        {P, {"*.c"}, {}, false, "src", true, true},
        {P, {"src/"}, {}, false, "src/x/a.h", false, true},
        {P, {"src/"}, {}, false, "lib/a.h", false, false},
        // Version control, folders and a worktree's .git file.
        {P, {}, {}, true, "x/.git", true, false},
        {P, {}, {}, true, "sub/.git", false, false},
        {P, {}, {}, true, "CVS", true, false},
        {P, {}, {}, true, "a/.git/config", false, false},
        {P, {}, {}, true, "a/.github", true, true},
        // Case, and "\\" as a separator, by the platform's rules.
        {W, {"*.TXT"}, {}, false, "A.txt", false, true},
        {P, {"*.TXT"}, {}, false, "A.txt", false, false},
        {W, {}, {"[A-C]x"}, false, "bX", true, false},
        {W, {}, {}, true, "cvs", true, false},
        {W, {"src\\*.c"}, {}, false, "src/a.c", false, true},
        {W, {"src/*.c"}, {}, false, "src\\a.c", false, true},
        {W, {}, {"\\build\\"}, false, "build", true, false},
    };
    for (const Row& row : rows) {
        PathPatterns patterns(row.rules);
        for (const auto& glob : row.includes) {
            patterns.Include(glob);
        }
        for (const auto& glob : row.excludes) {
            patterns.Exclude(glob);
        }
        if (row.vcs) {
            patterns.ExcludeVcs();
        }
        const bool got = row.folder ? patterns.EntersFolder(row.path) : patterns.SelectsFile(row.path);
        EXPECT_EQ(got, row.expected) << row.path << (row.folder ? " (folder)" : "") << " include "
                                     << ::testing::PrintToString(row.includes) << " exclude "
                                     << ::testing::PrintToString(row.excludes);
    }
}

TEST(PathPatternsTest, MalformedPatternsAreUsageErrors) {
    const struct {
        PatternRules rules;
        const char* glob;
        const char* reason;  // empty: the pattern is fine
    } rows[] = {
        {P, "a[b", "an unclosed ["}, {P, "[]", "an unclosed ["}, {P, "[a/b]", "an unclosed ["},
        {P, "a\\", "a trailing \\"}, {P, "", "an empty pattern"}, {P, "/", "an empty pattern"},
        {W, "a\\", ""},              {P, "[]]", ""},              {P, "\\[", ""},
    };
    for (const auto& row : rows) {
        PathPatterns patterns(row.rules);
        try {
            patterns.Exclude(row.glob);
            EXPECT_STREQ(row.reason, "") << row.glob;
        } catch (const PatternError& error) {
            EXPECT_EQ(error.Reason(), row.reason) << row.glob;
            EXPECT_EQ(std::string(error.what()), std::string(row.reason) + " in pattern: " + row.glob);
        }
    }
}

}  // namespace
}  // namespace tidelin::test
