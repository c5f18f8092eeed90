// List1: the message list. It shows the entries of the engine's message log in the order
// logged, and scrolls sideways exactly over its widest entry.
#pragma once

#include <QListWidget>

#include "message_log.h"

namespace tidelin {

class MessageList : public QListWidget, public MessageLogObserver {
    Q_OBJECT
public:
    // Room left of an entry's text, which the scroll range adds to the widest text.
    static constexpr int TextMargin = 3;

    explicit MessageList(QWidget* parent = nullptr);

    void EntryAppended(const std::string& entry) override;
    void EntriesCleared() override;

    // The width, in the list's pixels, over which the list scrolls sideways: the widest
    // entry's whole text plus the margin. A horizontal scroll bar shows when it is wider
    // than the list.
    int HorizontalExtent() const { return widestText_ + TextMargin; }

private:
    int widestText_ = 0;  // the widest entry's text, in pixels
};

}  // namespace tidelin
