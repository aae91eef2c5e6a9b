// The main window's MPEG list without its widget: the rows with their five display texts, the
// current row, the totals and what the list's context menu offers. The list control only
// renders it; the paths of column 0, in row order, are what the burn job reads back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One column of the list control; all columns are centred.
struct MpegListColumn {
    const char* header;
    int width; // pixels
};

// The five columns for the disc mode: the fifth is " Bitrate" in VCD and SVCD, " Duration" in
// DVD.
std::vector<MpegListColumn> MpegListColumns(int discMode);

struct MpegFileEntry {
    std::string text[5]; // path, size, picture size, frame rate, bit rate or duration
    // The size the row was added with; the totals lose exactly this much when it goes, whatever
    // the file on disk has become since.
    std::int64_t sizeBytes = 0;

    const std::string& Path() const { return text[0]; }
};

// Display texts of a row.
std::string FormatSizeMb(std::int64_t sizeBytes);           // "%.1lf" of MB
std::string FormatPictureSize(int width, int height);       // "%iX%i"
std::string FormatFrameRate(double frameRate);              // "%.2lffps"
std::string FormatBitRate(int bitRate);                     // "%dKbits/s" of bit/s / 1024
std::string FormatTotals(int fileCount, double totalBytes); // " %d file(s), Size: %.1lfMB"
inline constexpr char kEmptyTotals[] = " 0 file(s), Size: 0.0MB";

// What the list's context menu greys.
struct MpegListMenuState {
    bool play = true;
    bool remove = true;
    bool removeAll = true;
    bool moveUp = true;
    bool moveDown = true;
};

class CMpegList {
  public:
    // Appends a row (the current row stays where it is) and adds its size to the totals.
    void AddRowVcd(const std::string& path, int width, int height, int bitRate, double frameRate,
                   std::int64_t sizeBytes);
    void AddRowDvd(const std::string& path, std::int64_t sizeBytes, int width, int height,
                   double frameRate, double durationSeconds);

    // The control's own selection, which the user moves; -1 when no row is selected.
    int ListSelection() const { return listSelection_; }
    void SetListSelection(int row);
    // Gives the current row the control's selection (nothing when there is no such row).
    void SelectCurrent();

    // Remove: the selected row goes and the row before it becomes current (row 0 when row 0
    // went). False when nothing was removed.
    bool RemoveSelected();
    void RemoveAll();
    // False when the row cannot move (no selected row, the first or the last row).
    bool MoveUp();
    bool MoveDown();
    // A left click: a selected row becomes current, then it is selected again (so clicking
    // empty space keeps the current row selected).
    void OnClick();
    MpegListMenuState MenuState() const;

    const std::vector<MpegFileEntry>& Rows() const { return rows_; }
    bool Empty() const { return rows_.empty(); }
    std::vector<std::string> GetListPaths() const;

    int m_nSelected = -1; // the current row, -1 when there is none
    double TotalBytes() const { return m_dTotalBytes; }
    int FileCount() const { return m_nFileCount; }
    std::string TotalsText() const { return FormatTotals(m_nFileCount, m_dTotalBytes); }
    // The capacity bar's value: whole megabytes, truncated.
    int TotalMegabytes() const;

  private:
    void Append(MpegFileEntry entry);
    bool Move(int from, int to);
    bool ValidRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }

    std::vector<MpegFileEntry> rows_;
    int listSelection_ = -1;
    double m_dTotalBytes = 0;
    int m_nFileCount = 0;
};
