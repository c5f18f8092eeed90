// frmAbout: the modal About window with the program's icon, title, version, description,
// authorship line and the address of the product web page.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tidelin {

class Dialogs;

class FrmAbout : public QDialog {
    Q_OBJECT
public:
    static const char* const Author;
    static const char* const Site;

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
    QLabel* image1_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblAuthor_ = nullptr;
    QLabel* lblSite_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
};

}  // namespace tidelin
