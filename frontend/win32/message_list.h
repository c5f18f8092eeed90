// List1: the message list, a list box showing the entries in the order logged. It scrolls
// sideways exactly over its widest entry: the entry's whole text plus three pixels.
#pragma once

#include <windows.h>

#include <string>

namespace tidelin::win32 {

class MessageList {
  public:
    // Room left of an entry's text, which the scroll range adds to the widest text.
    static constexpr int TextMargin = 3;

    void Attach(HWND list) { list_ = list; }
    HWND Handle() const { return list_; }

    void Append(const std::string& entry);
    void Clear();
    // The widest entry's text, in twips; the range follows the window's DPI.
    void SetRange(float widestTwips);
    void SetDpi(int dpi);

  private:
    void ApplyRange();

    HWND list_ = nullptr;
    float widestTwips_ = 0;
    int dpi_ = 96;
};

}  // namespace tidelin::win32
