// The message log model.
#include <gtest/gtest.h>

#include "tidelin/message_log.h"

namespace tidelin {
namespace {

class RecordingObserver : public MessageLogObserver {
public:
    void EntryAppended(const std::string& entry, const std::string& widthSubject) override {
        events.push_back("+" + entry + (widthSubject.empty() ? "" : " @" + widthSubject));
    }
    void EntriesCleared() override { events.push_back("clear"); }
    std::vector<std::string> events;
};

TEST(MessageLogTest, EntriesStayInOrderUntilClearedAsAWhole) {
    MessageLog log;
    RecordingObserver observer;
    log.SetObserver(&observer);
    log.Append("b");
    log.Append("a", "path");
    log.Append("b");
    EXPECT_EQ(log.Entries(), (std::vector<std::string>{"b", "a", "b"}));
    log.Clear();
    EXPECT_TRUE(log.Entries().empty());
    log.Append("c");
    EXPECT_EQ(observer.events, (std::vector<std::string>{"+b", "+a @path", "+b", "clear", "+c"}));
}

}  // namespace
}  // namespace tidelin
