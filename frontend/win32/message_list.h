// List1: the message list, a list box showing the engine's message log in the order logged.
// It scrolls sideways exactly over its widest entry: the widest entry's whole text plus three
// pixels, kept up to date as entries come.
#pragma once

#include <windows.h>

#include "message_log.h"

namespace tidelin::win32 {

class MessageList : public MessageLogObserver {
public:
    // Room left of an entry's text, which the scroll range adds to the widest text.
    static constexpr int TextMargin = 3;

    void Attach(HWND list) { list_ = list; }
    HWND Handle() const { return list_; }

    void EntryAppended(const std::string& entry) override;
    void EntriesCleared() override;

    // The font changed (another DPI): the widest entry is measured again.
    void Remeasure();

private:
    int TextWidth(const std::wstring& text) const;
    void ApplyExtent();

    HWND list_ = nullptr;
    int widestText_ = 0;  // pixels
};

}  // namespace tidelin::win32
