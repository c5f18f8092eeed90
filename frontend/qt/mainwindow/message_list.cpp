#include "message_list.h"

#include <QStyledItemDelegate>

namespace tidelin {

namespace {

// Every row is as wide as the list's extent, so the list's own layout gives the sideways
// range over the widest entry. Nothing else sets that range: a second owner of it would
// show and hide the scroll bar in turn, each change laying the view out again.
class ExtentRows : public QStyledItemDelegate {
public:
    explicit ExtentRows(MessageList* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {list_->HorizontalExtent(), QStyledItemDelegate::sizeHint(option, index).height()};
    }

private:
    MessageList* list_;
};

}  // namespace

MessageList::MessageList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new ExtentRows(this));
}

void MessageList::SetWidestText(int pixels) {
    widestText_ = pixels;
    doItemsLayout();  // the rows take the new width
}

}  // namespace tidelin
