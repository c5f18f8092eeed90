#include "layout.h"

#include <cstring>

#include "texts.h"
#include "tidelin/errors.h"

namespace tidelin::app {

namespace {

using K = ControlKind;

constexpr Control Form1Controls[] = {
    {"List1", K::List, "", "Frame1", 120, 240, 7455, 1425, true},
    {"Command5", K::Button, "О программе", "Frame1", 6120, 1800, 1335, 375, true},
    {"Command1", K::Button, "Конвертировать файл Windows в Unix", nullptr, 120, 120, 3735, 375, true},
    {"Command2", K::Button, "Конвертировать файл Unix в Windows", nullptr, 120, 600, 3735, 375, true},
    {"Command3", K::Button, "Конвертировать папку Windows в Unix", nullptr, 4080, 120, 3735, 375, true},
    {"Command4", K::Button, "Конвертировать папку Unix в Windows", nullptr, 4080, 600, 3735, 375, true},
    {"DlgFilename", K::Hidden, "DlgFilename", nullptr, 7440, 360, 975, 255, false},
    {"Frame1", K::Frame, "Сообщения:", nullptr, 120, 1440, 7695, 2295, false},
    {"Label1", K::Label, ProtectedFileText, "Frame1", 120, 1800, 5655, 375, false},
    {"Check1", K::CheckBox, "Не изменять бинарные файлы", nullptr, 2640, 1200, 3135, 255, true},
};

constexpr Control AboutControls[] = {
    {"cmdOK", K::Button, text::Ok, nullptr, 4320, 2640, 1260, 345, true},
    {"lblDescription", K::Label, "", nullptr, 1080, 1125, 3885, 1170, false},
    {"lblAuthor", K::Label, text::Author, nullptr, 240, 2640, 3495, 345, false},
    {"lblTitle", K::Label, "", nullptr, 1050, 240, 3885, 480, false},
    {"lblVersion", K::Label, "", nullptr, 1050, 780, 3885, 225, false},
    {"lblSite", K::Label, text::Site, nullptr, 120, 3120, 5535, 375, false},
    {"Image1", K::Picture, "", nullptr, 120, 120, 855, 735, false},
};

// The etched separator: a grey line and, one pixel lower, a white line twice as wide.
constexpr Line AboutLines[] = {
    {90, 2445, 5654, 2445, 128, 128, 128, 1},
    {105, 2460, 5654, 2460, 255, 255, 255, 2},
};

}  // namespace

const WindowLayout Form1Layout{7935, 3930, Form1Controls, {}};
const WindowLayout AboutLayout{5730, 3555, AboutControls, AboutLines};

Rect OnClientArea(const WindowLayout& layout, const Control& control) {
    Rect at{control.left, control.top, control.width, control.height};
    if (control.frame != nullptr) {
        for (const Control& frame : layout.controls) {
            if (std::strcmp(frame.name, control.frame) == 0) {
                at.left += frame.left;
                at.top += frame.top;
            }
        }
    }
    return at;
}

}  // namespace tidelin::app
