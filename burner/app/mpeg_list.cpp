#include "burner/app/mpeg_list.h"

#include "burner/app/burner_startup.h"
#include "burner/app/format_duration.h"

#include <climits>
#include <cstdio>
#include <utility>

namespace {

constexpr double kBytesPerMb = 1048576.0;

std::string Printf(const char* format, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::vector<MpegListColumn> MpegListColumns(int discMode) {
    return {{" MPEG Files", 320},
            {" Size(MB)", 60},
            {" Solution", 90},
            {" Framerate", 100},
            {discMode == DISC_DVD ? " Duration" : " Bitrate", 80}};
}

std::string FormatSizeMb(std::int64_t sizeBytes) {
    return Printf("%.1lf", static_cast<double>(sizeBytes) / kBytesPerMb);
}
std::string FormatPictureSize(int width, int height) {
    return Printf("%iX%i", width, height);
}
std::string FormatFrameRate(double frameRate) {
    return Printf("%.2lffps", frameRate);
}
std::string FormatBitRate(int bitRate) {
    return Printf("%dKbits/s", bitRate / 1024);
}
std::string FormatTotals(int fileCount, double totalBytes) {
    return Printf(" %d file(s), Size: %.1lfMB", fileCount, totalBytes / kBytesPerMb);
}

void CMpegList::Append(MpegFileEntry entry) {
    m_dTotalBytes += static_cast<double>(entry.sizeBytes);
    rows_.push_back(std::move(entry));
    m_nFileCount = static_cast<int>(rows_.size());
    SelectCurrent();
}

void CMpegList::AddRowVcd(const std::string& path, int width, int height, int bitRate,
                          double frameRate, std::int64_t sizeBytes) {
    MpegFileEntry e;
    e.text[0] = path;
    e.text[1] = FormatSizeMb(sizeBytes);
    e.text[2] = FormatPictureSize(width, height);
    e.text[3] = FormatFrameRate(frameRate);
    e.text[4] = FormatBitRate(bitRate);
    e.sizeBytes = sizeBytes;
    Append(std::move(e));
}

void CMpegList::AddRowDvd(const std::string& path, std::int64_t sizeBytes, int width, int height,
                          double frameRate, double durationSeconds) {
    MpegFileEntry e;
    e.text[0] = path;
    e.text[1] = FormatSizeMb(sizeBytes);
    e.text[2] = FormatPictureSize(width, height);
    e.text[3] = FormatFrameRate(frameRate);
    e.text[4] = FormatDuration(durationSeconds);
    e.sizeBytes = sizeBytes;
    Append(std::move(e));
}

void CMpegList::SetListSelection(int row) {
    listSelection_ = ValidRow(row) ? row : -1;
}

void CMpegList::SelectCurrent() {
    if (ValidRow(m_nSelected)) listSelection_ = m_nSelected;
}

bool CMpegList::RemoveSelected() {
    if (m_nSelected == -1 || !ValidRow(listSelection_)) return false;
    m_nSelected = listSelection_;
    m_dTotalBytes -= static_cast<double>(rows_[m_nSelected].sizeBytes);
    rows_.erase(rows_.begin() + m_nSelected);
    m_nFileCount = static_cast<int>(rows_.size());
    // Whole byte counts add and subtract exactly below 2^53; an emptied list reads 0 regardless.
    if (rows_.empty()) m_dTotalBytes = 0;
    listSelection_ = -1;
    --m_nSelected;
    if (m_nSelected == -1 && !rows_.empty()) m_nSelected = 0;
    SelectCurrent();
    return true;
}

void CMpegList::RemoveAll() {
    rows_.clear();
    listSelection_ = -1;
    m_nSelected = -1;
    m_nFileCount = 0;
    m_dTotalBytes = 0;
}

bool CMpegList::Move(int from, int to) {
    if (!ValidRow(from) || !ValidRow(to)) return false;
    MpegFileEntry entry = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(entry));
    m_nSelected = to;
    SelectCurrent();
    return true;
}

bool CMpegList::MoveUp() {
    if (m_nSelected == -1 || m_nSelected == 0) return false;
    return Move(listSelection_, listSelection_ - 1);
}

bool CMpegList::MoveDown() {
    if (m_nSelected == -1 || m_nSelected >= static_cast<int>(rows_.size()) - 1) return false;
    return Move(listSelection_, listSelection_ + 1);
}

void CMpegList::OnClick() {
    if (ValidRow(listSelection_)) m_nSelected = listSelection_;
    SelectCurrent();
}

MpegListMenuState CMpegList::MenuState() const {
    MpegListMenuState s;
    if (!ValidRow(listSelection_)) {
        s.play = s.remove = s.moveUp = s.moveDown = false;
    } else {
        if (listSelection_ == static_cast<int>(rows_.size()) - 1) s.moveDown = false;
        if (listSelection_ == 0) s.moveUp = false;
    }
    if (rows_.empty()) s.play = s.remove = s.removeAll = false;
    return s;
}

std::vector<std::string> CMpegList::GetListPaths() const {
    std::vector<std::string> paths;
    paths.reserve(rows_.size());
    for (const MpegFileEntry& row : rows_)
        paths.push_back(row.Path());
    return paths;
}

int CMpegList::TotalMegabytes() const {
    double mb = m_dTotalBytes / kBytesPerMb;
    if (mb <= 0) return 0;
    if (mb >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(mb);
}
