// The progress dialog as the product shows it, stated once for every test and
// driver that reads it: its controls in template order (id, text, shown and
// enabled at the start, rectangle in dialog units), and from them each
// step's row, the label with the result at its right.
#pragma once

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>
#include <windows.h>

struct PROGRESS_CONTROL {
    int id;
    const char* text;
    bool visible;
    bool enabled;
    short x, y, cx, cy;
};

inline const PROGRESS_CONTROL PROGRESS_CONTROLS[] = {
    {1014, "Creating system restore point...", false, true, 7, 7, 173, 8},
    {1015, "Done", false, true, 210, 7, 38, 8},
    {1010, "Uninstalling Orvalith Add-In...", true, false, 7, 19, 194, 8},
    {1011, "Done", false, true, 210, 19, 38, 8},
    {1009, "Removing any calendar task entries...", true, false, 7, 31, 154, 8},
    {1008, "Done", false, true, 210, 31, 38, 8},
    {1001, "Removing program files...", true, false, 7, 43, 118, 8},
    {1005, "Done", false, true, 210, 43, 38, 8},
    {1002, "Removing registry entries...", true, false, 7, 55, 128, 8},
    {1006, "Done", false, true, 210, 55, 38, 8},
    {1003, "Removing Start menu link...", true, false, 7, 67, 134, 8},
    {1007, "Done", false, true, 210, 67, 38, 8},
    {1016, "", true, true, 7, 90, 241, 10},
    {1004, "Removing Orvalith dialog settings...", true, false, 7, 79, 134, 8},
    {1012, "Done", false, true, 210, 79, 38, 8},
};
// The status line below the rows.
const int PROGRESS_STATUS_LINE_ID = 1016;

// Each step's label id and result id, top to bottom.
inline std::vector<std::pair<int, int>> ProgressRows() {
    std::vector<std::tuple<short, int, int>> rows;
    for (const PROGRESS_CONTROL& label : PROGRESS_CONTROLS)
        for (const PROGRESS_CONTROL& result : PROGRESS_CONTROLS)
            if (label.x < result.x && label.y == result.y)
                rows.emplace_back(label.y, label.id, result.id);
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<int, int>> ids;
    for (const auto& [y, label, result] : rows)
        ids.emplace_back(label, result);
    return ids;
}

// One row as the user sees it: label shown, label black (not grey), result
// shown, result text.
using PROGRESS_ROW = std::tuple<bool, bool, bool, std::string>;
using PROGRESS_ROWS = std::vector<PROGRESS_ROW>;
const PROGRESS_ROW GREY{true, false, false, "Done"};
// The restore-point row is hidden rather than grey until its step runs.
const PROGRESS_ROW HIDDEN{false, true, false, "Done"};
const PROGRESS_ROW RUNNING{true, true, false, "Done"};
const PROGRESS_ROW DONE{true, true, true, "Done"};
const PROGRESS_ROW FAILED{true, true, true, "Failed!"};

// The rows of dialog. A null window would stand for the whole desktop:
// without a dialog, every row reads as hidden, grey and blank.
inline PROGRESS_ROWS ReadProgressRows(HWND dialog) {
    PROGRESS_ROWS rows;
    for (const auto& [labelId, resultId] : ProgressRows()) {
        HWND label = dialog ? GetDlgItem(dialog, labelId) : nullptr;
        HWND result = dialog ? GetDlgItem(dialog, resultId) : nullptr;
        char text[64] = "";
        if (result)
            GetWindowTextA(result, text, sizeof(text));
        rows.emplace_back(IsWindowVisible(label) != FALSE, IsWindowEnabled(label) != FALSE,
                          IsWindowVisible(result) != FALSE, text);
    }
    return rows;
}
