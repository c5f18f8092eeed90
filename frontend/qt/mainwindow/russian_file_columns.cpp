#include "russian_file_columns.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>

namespace tidelin {

namespace {

enum Column { Name, Size, Type, Modified };

const QLocale& Russian() {
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    return russian;
}

// Sizes under a kilobyte in bytes, with the word's Russian plural (1 байт, 2 байта, 5 байт),
// which the locale's single unit name gets wrong; larger ones in КБ, МБ, ...
QString SizeText(qint64 bytes) {
    if (bytes >= 1024) {
        return Russian().formattedDataSize(bytes, 2, QLocale::DataSizeTraditionalFormat);
    }
    const qint64 tens = bytes % 100;
    const qint64 units = bytes % 10;
    const bool few = units >= 2 && units <= 4 && (tens < 12 || tens > 14);
    return QString::number(bytes) + (few ? QString::fromUtf8(" байта") : QString::fromUtf8(" байт"));
}

}  // namespace

QVariant RussianFileColumns::data(const QModelIndex& index, int role) const {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || files == nullptr || index.column() == Name) {
        return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex source = mapToSource(index);
    const QFileInfo info = files->fileInfo(source);
    switch (index.column()) {
        case Size:
            return info.isDir() ? QString() : SizeText(files->size(source));
        case Type:
            if (info.isDir()) {
                return info.isRoot() ? QString::fromUtf8("Диск") : QString::fromUtf8("Папка");
            }
            return QIdentityProxyModel::data(index, role);  // the MIME comment, in the default language
        case Modified:
            return Russian().toString(files->lastModified(source), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
    }
}

void RussianFileColumns::Apply(QFileDialog& dialog) {
    dialog.setProxyModel(new RussianFileColumns(&dialog));
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(Name, QHeaderView::Stretch);
        for (int column : {Size, Type, Modified}) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
    }
    // The side bar wide enough for "Компьютер".
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
        const QFontMetrics metrics(dialog.font());
        const int side = metrics.horizontalAdvance(QString::fromUtf8("Компьютер")) + 4 * metrics.height();
        splitter->setSizes({side, qMax(side, dialog.width() - side)});
    }
}

}  // namespace tidelin
