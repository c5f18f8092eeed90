// List1: the message list. It shows the entries in the order logged, and scrolls sideways
// exactly over the widest entry's text plus a margin.
#pragma once

#include <QListWidget>

namespace tidelin {

class MessageList : public QListWidget {
    Q_OBJECT
public:
    // Room left of an entry's text, which the scroll range adds to the widest text.
    static constexpr int TextMargin = 3;

    explicit MessageList(QWidget* parent = nullptr);

    // The widest entry's text, in the list's pixels.
    void SetWidestText(int pixels);
    // The width, in the list's pixels, over which the list scrolls sideways. A horizontal
    // scroll bar shows when it is wider than the list.
    int HorizontalExtent() const { return widestText_ + TextMargin; }

private:
    int widestText_ = 0;
};

}  // namespace tidelin
