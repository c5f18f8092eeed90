// Starts Tidelin: one instance per user and temporary folder, the main window in Russian.
#include <QApplication>

#include "app_info.h"
#include "errors.h"
#include "filesystem.h"
#include "form1.h"
#include "qt_dialogs.h"

int main(int argc, char* argv[]) {
    // A second start ends at once, silently, and leaves the running instance alone.
    const auto lock = tidelin::fs::InstanceLock::Acquire();
    if (lock.GetState() == tidelin::fs::InstanceLock::State::HeldElsewhere) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tidelin::app::Title));

    // The texts Qt draws itself (dialog buttons, labels, file lists) speak Russian too.
    tidelin::QtDialogs::SpeakRussian();

    tidelin::QtDialogs dialogs;
    tidelin::Form1 form(dialogs);
    try {
        form.Load();
    } catch (const tidelin::EngineError& error) {
        dialogs.Message(nullptr,
                        tidelin::ErrorText(error.Number(), QString::fromStdString(error.Description())),
                        tidelin::Dialogs::Icon::Critical, QString());
        return 1;
    }
    form.show();
    return QApplication::exec();
}
