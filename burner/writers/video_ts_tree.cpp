#include "burner/writers/video_ts_tree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

using namespace engines;
namespace fs = std::filesystem;

const char kDvdTooLargeText[] =
    "DVD source is too large to fit on one disc.\r\nPlease hit output settings button set target "
    "size as '4.7G-100M safe' and try again.";

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The regular files of the folder by their lower-case names; an exact name wins over others.
class FolderListing {
  public:
    explicit FolderListing(const std::string& folder) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code fileEc;
            if (!it->is_regular_file(fileEc)) continue;
            std::string name = it->path().filename().string();
            std::string key = Lower(name);
            auto found = names_.find(key);
            if (found == names_.end() || name == key) names_[key] = name;
        }
    }
    // The name on disk for a lower-case name, or empty when there is none.
    std::string Find(const std::string& name) const {
        auto it = names_.find(name);
        return it == names_.end() ? std::string() : it->second;
    }

  private:
    std::map<std::string, std::string> names_;
};

class TreeBuilder {
  public:
    TreeBuilder(DvdEngine& engine, const std::string& folder, DvdTreeNode* videoTs,
                DvdTreeNode* (&fileNodes)[kDvdFileNodeSlots], std::string& errorText)
        : engine_(engine), folder_(folder), listing_(folder), videoTs_(videoTs),
          fileNodes_(fileNodes), errorText_(errorText) {}

    bool Exists(const std::string& name) const { return !listing_.Find(name).empty(); }

    // Adds the file; a missing file fails only when it is required.
    VideoTsTreeResult Add(const std::string& name) {
        std::string onDisk = listing_.Find(name);
        std::string path = folder_ + (onDisk.empty() ? name : onDisk);
        if (onDisk.empty()) return Missing(path);
        if (next_ >= kDvdFileNodeSlots) {
            errorText_ = "DVD source has too many files for one disc.";
            return VideoTsTreeResult::kTooManyFiles;
        }
        DvdTreeNode* node = nullptr;
        if (engine_.AddFileNode(path.c_str(), id_, videoTs_, &node) != 0 || !node)
            return Missing(path);
        fileNodes_[next_++] = node;
        ++id_;
        std::error_code ec;
        std::uintmax_t size = fs::file_size(path, ec);
        if (!ec) sectors_ += size / 2048;
        if (sectors_ > kDvdMaxSectors) {
            errorText_ = kDvdTooLargeText;
            return VideoTsTreeResult::kTooLarge;
        }
        return VideoTsTreeResult::kOk;
    }

  private:
    VideoTsTreeResult Missing(const std::string& path) {
        char text[64 + 4096];
        std::snprintf(text, sizeof text, "Could not find file %s", path.c_str());
        errorText_ = text;
        return VideoTsTreeResult::kMissingFile;
    }

    DvdEngine& engine_;
    std::string folder_;
    FolderListing listing_;
    DvdTreeNode* videoTs_;
    DvdTreeNode* (&fileNodes_)[kDvdFileNodeSlots];
    std::string& errorText_;
    int next_ = 1;
    int id_ = 4; // after the three directories
    std::uint64_t sectors_ = 0;
};

std::string TitleSetName(int set, int part, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "vts_%02d_%d.%s", set, part, extension);
    return name;
}

} // namespace

VideoTsTreeResult BuildVideoTsTree(DvdEngine& engine, const std::string& folder,
                                   DvdTreeNode* (&directoryNodes)[kDvdDirectoryNodeSlots],
                                   DvdTreeNode* (&fileNodes)[kDvdFileNodeSlots],
                                   std::string& errorText) {
    engine.AddDirectoryNode("", 1, nullptr, &directoryNodes[0]);
    engine.AddDirectoryNode("VIDEO_TS", 2, directoryNodes[0], &directoryNodes[1]);
    engine.AddDirectoryNode("AUDIO_TS", 3, directoryNodes[0], &directoryNodes[2]);

    TreeBuilder tree(engine, folder, directoryNodes[1], fileNodes, errorText);
    VideoTsTreeResult r;
    if ((r = tree.Add("video_ts.ifo")) != VideoTsTreeResult::kOk) return r;
    if (tree.Exists("video_ts.vob") && (r = tree.Add("video_ts.vob")) != VideoTsTreeResult::kOk)
        return r;
    if ((r = tree.Add("video_ts.bup")) != VideoTsTreeResult::kOk) return r;

    for (int set = 1; set <= 99; ++set) {
        std::string ifo = TitleSetName(set, 0, "ifo");
        if (!tree.Exists(ifo)) return VideoTsTreeResult::kOk;
        if ((r = tree.Add(ifo)) != VideoTsTreeResult::kOk) return r;
        std::string menu = TitleSetName(set, 0, "vob");
        if (tree.Exists(menu) && (r = tree.Add(menu)) != VideoTsTreeResult::kOk) return r;
        for (int part = 1;; ++part) {
            std::string vob = TitleSetName(set, part, "vob");
            if (part > 1 && !tree.Exists(vob)) break;
            if ((r = tree.Add(vob)) != VideoTsTreeResult::kOk) return r;
        }
        std::string bup = TitleSetName(set, 0, "bup");
        if (!tree.Exists(bup)) return VideoTsTreeResult::kOk;
        if ((r = tree.Add(bup)) != VideoTsTreeResult::kOk) return r;
    }
    return VideoTsTreeResult::kOk;
}
