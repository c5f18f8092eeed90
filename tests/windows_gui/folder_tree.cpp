#include "folder_tree.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>

namespace tidelin::gui_test {

namespace {

// The text of an item of the folder chooser's tree, read through the program's memory.
std::wstring ItemText(Program& tidelin, HWND tree, HTREEITEM item) {
    if (item == nullptr) {
        return {};
    }
    struct {
        TVITEMW item;
        wchar_t text[MAX_PATH];
    } query{};
    auto* remote = static_cast<decltype(query)*>(tidelin.Place(&query, sizeof(query)));
    query.item.mask = TVIF_TEXT;
    query.item.hItem = item;
    query.item.pszText = remote->text;
    query.item.cchTextMax = MAX_PATH;
    ::WriteProcessMemory(tidelin.Process(), remote, &query, sizeof(query), nullptr);
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
    tidelin.Fetch(remote, &query, sizeof(query));
    return query.text;
}

HTREEITEM Next(HWND tree, HTREEITEM item, WPARAM how) {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// Opens `parent` as a user does and returns its child whose text `matches`, or none.
HTREEITEM OpenAndFind(Program& tidelin, HWND tree, HTREEITEM parent,
                      const std::function<bool(const std::wstring&)>& matches) {
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM child = Next(tree, parent, TVGN_CHILD); child != nullptr; child = Next(tree, child, TVGN_NEXT)) {
        if (matches(ItemText(tidelin, tree, child))) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

// Selects `path` (a folder on a drive) in the chooser's tree, opening one level after the
// other from the desktop, as a user does: the drive is found in whichever top item holds it.
void SelectInTree(Program& tidelin, HWND chooser, const std::wstring& path) {
    HWND tree = ::FindWindowExW(chooser, nullptr, WC_TREEVIEWW, nullptr);
    const HTREEITEM desktop = Next(tree, nullptr, TVGN_ROOT);
    const std::wstring drive = path.substr(0, 2);  // "T:"
    const auto isDrive = [&](const std::wstring& text) { return text.find(drive) != std::wstring::npos; };
    HTREEITEM item = nullptr;
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(desktop));
    for (HTREEITEM top = Next(tree, desktop, TVGN_CHILD); top != nullptr && item == nullptr;
         top = Next(tree, top, TVGN_NEXT)) {
        item = OpenAndFind(tidelin, tree, top, isDrive);
    }
    Check(item != nullptr, "drive " + tidelin::utf16::Narrow(drive) + " in the folder chooser");
    for (std::size_t from = 3; from < path.size();) {
        const std::size_t end = std::min(path.find(L'\\', from), path.size());
        const std::wstring name = path.substr(from, end - from);
        item = OpenAndFind(tidelin, tree, item, [&](const std::wstring& text) { return text == name; });
        Check(item != nullptr, "folder " + tidelin::utf16::Narrow(name) + " in the folder chooser");
        from = end + 1;
    }
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    WaitFor([&] { return Next(tree, nullptr, TVGN_CARET) == item; }, "the folder chooser to select the tree");
}

}  // namespace tidelin::gui_test
