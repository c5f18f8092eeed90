// A main window without a toolkit: the tests script its answers and read what it was asked
// to show. Text is 100 twips wide per byte.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "form1_view.h"

namespace tidelin::test {

class ScriptedView : public app::Form1View {
public:
    struct Shown {
        std::string text;
        Icon icon;
        Buttons buttons;
        bool yesIsDefault;
        bool busy;  // whether the window was busy while the box was shown
    };
    struct FileDialog {
        std::string title;
        std::vector<app::FileFilter> filters;
        int filterIndex;
        std::string folder;
    };

    // Answers, taken from the front; an unscripted question answers No or cancels, and counts.
    std::deque<Answer> answers;
    std::deque<std::string> files;
    std::deque<int> filterChoices;  // the filter the user leaves selected in each file dialog
    std::deque<std::string> folders;
    std::function<void()> onEvents;   // runs whenever pending events are processed
    std::function<void()> onMessage;  // runs while a box is shown

    std::vector<Shown> shown;
    std::vector<FileDialog> fileDialogs;
    std::vector<std::string> folderTitles;
    std::vector<std::string> titles;
    std::vector<std::string> entries;
    float range = -1;  // the list's range as last set (twips); -1 before any
    bool busy = false;
    int busyChanges = 0;
    int unscripted = 0;

    Answer ShowMessage(const std::string& text, Icon icon, Buttons buttons, bool yesIsDefault) override {
        shown.push_back({text, icon, buttons, yesIsDefault, busy});
        if (onMessage) {
            onMessage();
        }
        if (buttons == Buttons::Ok) {
            return Answer::Ok;
        }
        return Take(answers, Answer::No);
    }
    std::string ChooseFile(const std::string& title, const std::vector<app::FileFilter>& filters, int& filterIndex,
                           const std::string& folder) override {
        fileDialogs.push_back({title, filters, filterIndex, folder});
        if (!filterChoices.empty()) {
            filterIndex = filterChoices.front();
            filterChoices.pop_front();
        }
        return Take(files, std::string());
    }
    std::string ChooseFolder(const std::string& title) override {
        folderTitles.push_back(title);
        return Take(folders, std::string());
    }
    void SetBusy(bool on) override {
        busy = on;
        ++busyChanges;
    }
    void SetTitle(const std::string& title) override { titles.push_back(title); }
    float MeasureTwips(const std::string& text) override { return static_cast<float>(text.size()) * 100.0f; }
    void ProcessEvents() override {
        if (onEvents) {
            onEvents();
        }
    }
    void AppendEntry(const std::string& entry) override { entries.push_back(entry); }
    void ClearEntries() override { entries.clear(); }
    void SetListRange(float widestEntryTwips) override { range = widestEntryTwips; }

    // The texts of the boxes shown so far, and forgets them.
    std::vector<std::string> TakeTexts() {
        std::vector<std::string> texts;
        for (const Shown& box : shown) {
            texts.push_back(box.text);
        }
        shown.clear();
        return texts;
    }

private:
    template <typename T>
    T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            ++unscripted;
            return fallback;
        }
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace tidelin::test
