// The combo box of writers that the writer wrappers fill; the dialog shows what it holds.
#pragma once

#include <string>
#include <vector>

// The writer list of the Start Burning dialog: rows in order and the selected row (-1: none).
struct WriterCombo {
    std::vector<std::string> rows;
    int selected = -1;

    int AddString(const std::string& text) {
        rows.push_back(text);
        return static_cast<int>(rows.size()) - 1;
    }
    int GetCount() const { return static_cast<int>(rows.size()); }
    int GetCurSel() const { return selected; }
    void SetCurSel(int index) { selected = index >= 0 && index < GetCount() ? index : -1; }
    void ResetContent() {
        rows.clear();
        selected = -1;
    }
};
