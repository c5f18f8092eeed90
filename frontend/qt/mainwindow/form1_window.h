// Form1 as a Qt window: it lays out its controls from the application layer's layout, passes
// clicks on to app::Form1 and shows what that asks through app::Form1View.
#pragma once

#include <QWidget>
#include <functional>

#include "form1.h"
#include "form1_view.h"

namespace tidelin {

class Dialogs;
class MessageList;

class Form1Window : public QWidget, public app::Form1View {
    Q_OBJECT
public:
    explicit Form1Window(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1Window() override;

    app::Form1& Logic() { return form_; }
    // Command5: the modal About window.
    void ShowAbout();
    // Called whenever the window processes pending events during a command (for tests).
    void SetEventsProbe(std::function<void()> probe) { eventsProbe_ = std::move(probe); }

    // app::Form1View
    Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons, bool yesIsDefault) override;
    std::string ChooseFile(const std::string& title, const std::vector<app::FileFilter>& filters,
                           int& filterIndex, const std::string& folder) override;
    std::string ChooseFolder(const std::string& title) override;
    void SetBusy(bool busy) override;
    void SetTitle(const std::string& title) override;
    float MeasureTwips(const std::string& text) override;
    void ProcessEvents() override;
    void AppendEntry(const std::string& entry) override;
    void ClearEntries() override;
    void SetListRange(float widestEntryTwips) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FitCaptions(const QHash<QString, QWidget*>& controls);

    Dialogs& dialogs_;
    app::Form1 form_;
    MessageList* list1_ = nullptr;
    bool busyPointer_ = false;
    std::function<void()> eventsProbe_;
};

}  // namespace tidelin
