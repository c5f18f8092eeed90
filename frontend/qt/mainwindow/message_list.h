// List1: the message list. It shows the entries of the engine's message log in the order
// logged, and scrolls sideways over exactly the extent the folder commands set.
#pragma once

#include <QListWidget>

#include "message_log.h"

namespace tidelin {

class MessageList : public QListWidget, public MessageLogObserver {
    Q_OBJECT
public:
    explicit MessageList(QWidget* parent = nullptr);

    void EntryAppended(const std::string& entry) override;
    void EntriesCleared() override;

    // The width, in the list's pixels, over which the list scrolls sideways. A horizontal
    // scroll bar shows when it is wider than the list. 0 until a folder command sets it.
    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const { return extent_; }

protected:
    void updateGeometries() override;

private:
    int extent_ = 0;
};

}  // namespace tidelin
