// What the main window's logic needs from a window: the one interface each toolkit's window
// implements, and the tests script.
#pragma once

#include <string>
#include <vector>

namespace tidelin::app {

// A file type of the file chooser: what it shows and the patterns it matches, separated by
// ";" ("*.*" matches every name, with or without a dot).
struct FileFilter {
    std::string display;
    std::string pattern;
};

class Form1View {
public:
    enum class Icon { None, Warning, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Form1View() = default;

    // A modal message box titled with the application's title. With Yes and No, `yesIsDefault`
    // chooses what Enter answers; closing the box otherwise answers as the platform's own box
    // does.
    virtual Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons,
                               bool yesIsDefault) = 0;
    // The file chooser, opened in `folder` on the filter `filterIndex`, which receives the one
    // the user left selected. The accepted name, or empty on cancel.
    virtual std::string ChooseFile(const std::string& title, const std::vector<FileFilter>& filters,
                                   int& filterIndex, const std::string& folder) = 0;
    // The folder chooser: the accepted folder's full path, or empty on cancel.
    virtual std::string ChooseFolder(const std::string& title) = 0;
    // Busy: the window takes no input (its close box aside) and shows the busy pointer.
    virtual void SetBusy(bool busy) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // The width of `text` drawn as one line in the main window's font, in twips.
    virtual float MeasureTwips(const std::string& text) = 0;
    // Lets the window system process pending events.
    virtual void ProcessEvents() = 0;
    // The message list: an entry at the end, all entries away, and the sideways range over
    // the widest entry (its width in twips; the list adds its own margin).
    virtual void AppendEntry(const std::string& entry) = 0;
    virtual void ClearEntries() = 0;
    virtual void SetListRange(float widestEntryTwips) = 0;
};

}  // namespace tidelin::app
