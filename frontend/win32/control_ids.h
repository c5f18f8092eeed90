// The control IDs of the Windows windows, by which the program and its test driver find them:
// a control's ID follows from its place in its window's layout table.
#pragma once

#include <cstring>

#include "layout.h"

namespace tidelin::win32 {

// The first control's ID; IDs stay clear of the dialog IDs (IDOK, IDCANCEL, ...).
constexpr int FirstControlId = 101;

// The ID of the control named `name` in `layout`; 0 for a name it does not hold.
inline int ControlId(const app::WindowLayout& layout, const char* name) {
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
        if (std::strcmp(layout.controls[i].name, name) == 0) {
            return FirstControlId + static_cast<int>(i);
        }
    }
    return 0;
}

// The control of `layout` with the ID `id`, or none.
inline const app::Control* ControlWithId(const app::WindowLayout& layout, int id) {
    const int index = id - FirstControlId;
    return index >= 0 && static_cast<std::size_t>(index) < layout.controls.size()
               ? &layout.controls[index]
               : nullptr;
}

// Resources
constexpr int IdProgramIcon = 1;
constexpr int IdHandCursor = 2;

}  // namespace tidelin::win32
