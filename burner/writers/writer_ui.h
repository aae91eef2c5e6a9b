// What the writer wrappers show: message boxes with an OK button and the combo box of writers.
#pragma once

#include <string>
#include <vector>

// A message box with an OK button. The DVD worker threads show theirs from their own thread, so an
// implementation must accept calls from any thread.
class WriterMessageBox {
  public:
    virtual ~WriterMessageBox() = default;
    virtual void ShowOk(const std::string& text) = 0;
};

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
