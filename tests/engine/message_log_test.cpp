// The message log model and its width rule.
#include <gtest/gtest.h>

#include "errors.h"
#include "message_log.h"

namespace tidelin {
namespace {

class RecordingObserver : public MessageLogObserver {
public:
    void EntryAppended(const std::string& entry) override { events.push_back("+" + entry); }
    void EntriesCleared() override { events.push_back("clear"); }
    std::vector<std::string> events;
};

TEST(MessageLogTest, EntriesStayInOrderUntilClearedAsAWhole) {
    MessageLog log;
    RecordingObserver observer;
    log.SetObserver(&observer);
    log.Append("b");
    log.Append("a");
    log.Append("b");
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{"b", "a", "b"}));
    log.Clear();
    EXPECT_TRUE(log.Entries().empty());
    log.Append("c");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"+b", "+a", "+b", "clear", "+c"}));
}

TEST(MessageLogTest, WidthRule) {
    const struct {
        const char* name;
        std::vector<float> widths;
        std::int16_t expected;
        bool overflow;  // the last width raises the overflow error
    } cases[] = {
        {"starts at zero", {}, 0, false},
        {"stores a greater width", {1234.0f}, 1234, false},
        {"keeps the greatest", {500.0f, 400.0f}, 500, false},
        {"equal changes nothing", {500.0f, 500.0f}, 500, false},
        {"strictly greater by a fraction", {500.0f, 500.25f}, 500, false},
        {"half rounds to even below", {2.5f}, 2, false},
        {"half rounds to even above", {3.5f}, 4, false},
        {"just over a half rounds up", {10.5001f}, 11, false},
        {"rounds to the largest value", {32767.4f}, 32767, false},
        {"negative widths change nothing", {-5.0f}, 0, false},
        {"rounding past 32767 overflows", {100.0f, 32767.5f}, 100, true},
        {"far too wide overflows", {7.0f, 1e9f}, 7, true},
    };
    for (const auto& c : cases) {
        MessageLog log;
        for (std::size_t i = 0; i < c.widths.size(); ++i) {
            const bool last = i + 1 == c.widths.size();
            if (last && c.overflow) {
                try {
                    log.ApplyWidthRule(c.widths[i]);
                    ADD_FAILURE() << c.name << ": no overflow";
                } catch (const EngineError& error) {
                    EXPECT_EQ(error.Number(), err::Overflow) << c.name;
                }
            } else {
                log.ApplyWidthRule(c.widths[i]);
            }
        }
        EXPECT_EQ(log.MaxEntryWidth(), c.expected) << c.name;
    }
}

TEST(MessageLogTest, ExtentIsTheWidthPlusThreeAndResetReturnsToThree) {
    MessageLog log;
    EXPECT_EQ(log.Extent(), 3);
    log.ApplyWidthRule(1000.0f);
    EXPECT_EQ(log.Extent(), 1003);
    log.Clear();  // clearing the entries does not touch the width
    EXPECT_EQ(log.Extent(), 1003);
    log.ResetMaxEntryWidth();
    EXPECT_EQ(log.MaxEntryWidth(), 0);
    EXPECT_EQ(log.Extent(), 3);
    log.ApplyWidthRule(32766.0f);
    EXPECT_EQ(log.Extent(), 32767);  // the 16-bit sum stops at its largest value
}

}  // namespace
}  // namespace tidelin
