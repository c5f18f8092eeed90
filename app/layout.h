// Where the controls of both windows sit, in twips (1/1440 inch; 15 twips are one pixel at 96
// dots per inch), with their names and captions. Each window creates its controls from these
// tables and converts twips to pixels by its own platform's rules.
#pragma once

#include <span>

namespace tidelin::app {

// A twip is 1/1440 inch, so `twips` are twips * dpi / 1440 pixels at `dpi` dots per inch.
inline constexpr int TwipsPerInch = 1440;
inline constexpr double PixelsFromTwips(double twips, double dpi) { return twips * dpi / TwipsPerInch; }
inline constexpr double TwipsFromPixels(double pixels, double dpi) { return pixels * TwipsPerInch / dpi; }

enum class ControlKind {
    Button,
    CheckBox,
    Frame,    // a group frame with a caption
    List,     // the message list
    Label,
    Hidden,   // a label that is never shown (DlgFilename)
    Picture,  // the program's icon at its own size
};

struct Control {
    const char* name;
    ControlKind kind;
    const char* caption;
    // Inside the frame named here (positions relative to it), or on the client area.
    const char* frame;
    int left, top, width, height;
    bool takesFocus;
};

struct Line {
    int x1, y1, x2, y2;
    unsigned char red, green, blue;
    int pixelsWide;
};

struct WindowLayout {
    int clientWidth, clientHeight;
    // In tab order: the first control that takes the focus has it when the window opens.
    std::span<const Control> controls;
    std::span<const Line> lines;
};

extern const WindowLayout Form1Layout;
extern const WindowLayout AboutLayout;

// The control's place on the client area, its frame's offset added.
struct Rect {
    int left, top, width, height;
};
Rect OnClientArea(const WindowLayout& layout, const Control& control);

}  // namespace tidelin::app
