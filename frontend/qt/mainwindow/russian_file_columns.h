// The size, type and date columns of the file and folder choosers, written for a Russian
// reader whatever language the system is set to. The file system model writes sizes and
// dates in the system's language and names folders in English.
#pragma once

#include <QIdentityProxyModel>

class QFileDialog;

namespace tidelin {

class RussianFileColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override;

    // Shows `dialog`'s entries through these columns, wide enough for their texts.
    static void Apply(QFileDialog& dialog);
};

}  // namespace tidelin
