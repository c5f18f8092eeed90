// Starts Tidelin: one instance per user and temporary folder, the main window in Russian.
// When that rule cannot be kept, the program says so and does not start.
#include <QApplication>

#include "app_info.h"
#include "tidelin/errors.h"
#include "tidelin/file_system.h"
#include "form1_window.h"
#include "qt_dialogs.h"
#include "texts.h"

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
    if (lock.GetState() == tidelin::fs::InstanceLock::State::Unavailable) {
        // Without the lock a second instance could not be kept out: say so, never run unlocked.
        dialogs.Message(nullptr, QString::fromUtf8(tidelin::app::text::LockUnavailable), tidelin::Dialogs::Icon::Critical,
                        QString());
        return 1;
    }
    tidelin::Form1Window form(dialogs);
    try {
        form.Logic().Load();
    } catch (const tidelin::EngineError& error) {
        dialogs.Message(nullptr,
                        QString::fromStdString(tidelin::app::text::ErrorText(error.Number(), error.Description())),
                        tidelin::Dialogs::Icon::Critical, QString());
        return 1;
    }
    form.show();
    return QApplication::exec();
}
