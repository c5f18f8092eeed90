// frmAbout: the modal About window with the program's icon, title, version, description,
// authorship line and the address of the product web page.
#pragma once

#include <QDialog>
#include <QHash>

class QLabel;
class QPushButton;

namespace tidelin {

class Dialogs;

class FrmAbout : public QDialog {
    Q_OBJECT
public:
    FrmAbout(Dialogs& dialogs, QWidget* parent);

    // Opens the product web page, as a click on the address does.
    void OpenSite();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();

    Dialogs& dialogs_;
    QLabel* Label(const char* name) const;

    QHash<QString, QWidget*> controls_;
    QLabel* lblSite_ = nullptr;
};

}  // namespace tidelin
