#include "message_list.h"

#include <QScrollBar>

namespace tidelin {

MessageList::MessageList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
}

void MessageList::EntryAppended(const std::string& entry) {
    addItem(QString::fromStdString(entry));
}

void MessageList::EntriesCleared() { clear(); }

void MessageList::SetHorizontalExtent(int pixels) {
    extent_ = pixels;
    updateGeometries();
}

void MessageList::updateGeometries() {
    QListWidget::updateGeometries();
    // The scroll range comes from the extent alone, not from the width of the entries.
    const int visible = viewport()->width();
    horizontalScrollBar()->setPageStep(visible);
    horizontalScrollBar()->setRange(0, qMax(0, extent_ - visible));
}

}  // namespace tidelin
