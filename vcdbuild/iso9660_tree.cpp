#include "iso9660_tree.h"

#include "iso9660_structs.h"
#include "iso_path_rules.h"
#include "string_helpers.h"

#include <vector>

namespace {

CVcdDirNode* FindChild(const CVcdDirNode& dir, const std::string& name) {
    const auto* children = dir.Children();
    if (!children) return nullptr;
    return children->Find([&](const CVcdDirNode& n) { return n.name == name; });
}

int CompareNodes(const CVcdDirNode& a, const CVcdDirNode& b) {
    return CompareIsoNames(a.name, b.name);
}

bool HasEmptyPart(const std::vector<std::string>& parts) {
    for (const auto& p : parts)
        if (p.empty()) return true;
    return false;
}

// Pre-order: a directory before its children, siblings in name order.
template <class Visit> void PreOrder(CVcdDirNode& root, Visit visit) {
    std::vector<CVcdDirNode*> stack{&root};
    while (!stack.empty()) {
        CVcdDirNode* node = stack.back();
        stack.pop_back();
        visit(*node);
        if (const auto* children = node->Children())
            for (std::size_t i = children->Size(); i-- > 0;)
                stack.push_back(children->At(i));
    }
}

std::uint32_t DirectorySize(const CVcdDirNode& dir) {
    std::size_t bytes = 2 * RecordSize(1, kXaSystemUseSize);
    if (const auto* children = dir.Children()) {
        for (const auto& child : *children) {
            const std::size_t length = RecordSize(child->RecordName().size(), kXaSystemUseSize);
            if (bytes % kIsoSectorSize + length > kIsoSectorSize)
                bytes = (bytes / kIsoSectorSize + 1) * kIsoSectorSize;
            bytes += length;
        }
    }
    return static_cast<std::uint32_t>((bytes + kIsoSectorSize - 1) / kIsoSectorSize *
                                      kIsoSectorSize);
}

} // namespace

std::string CVcdDirNode::RecordName() const {
    return isDirectory ? name : VersionedName(name, version);
}

int CompareIsoNames(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

CVcdDirectory::CVcdDirectory(CVcdLog& log) : log_(log) {
    root_.isRoot = true;
    root_.isDirectory = true;
    root_.xaAttributes = kXaAttrDirectory;
    root_.fileNumber = 0;
}

int CVcdDirectory::MakeDir(const std::string& path) {
    const auto parts = StrSplit(path, '/');
    if (HasEmptyPart(parts)) {
        // An empty component would make a nameless record that reads as ".".
        log_.Error("mkdir: invalid path '%s'", path.c_str());
        return -1;
    }
    CVcdDirNode* dir = &root_;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        CVcdDirNode* next = FindChild(*dir, parts[i]);
        if (!next || !next->isDirectory) {
            log_.Error("mkdir: parent dir '%s' (level=%d) for '%s' missing!", parts[i].c_str(),
                       static_cast<int>(i), path.c_str());
            return -1;
        }
        dir = next;
    }
    if (const CVcdDirNode* existing = FindChild(*dir, parts.back())) {
        if (existing->isDirectory) return 0;
        log_.Error("mkdir: '%s' already exists", path.c_str());
        return -1;
    }
    auto node = std::make_unique<CVcdDirNode>();
    node->name = parts.back();
    node->isDirectory = true;
    node->xaAttributes = kXaAttrDirectory;
    node->fileNumber = 0;
    node->time = 0;
    dir->InsertChild(std::move(node), CompareNodes);
    return 0;
}

int CVcdDirectory::MakeFile(const std::string& path, std::uint32_t extent, std::uint32_t size,
                            bool form2, std::uint8_t fileNumber, std::int64_t time) {
    const auto parts = StrSplit(path, '/');
    if (HasEmptyPart(parts)) {
        log_.Error("mkfile: invalid path '%s'", path.c_str());
        return -1;
    }
    CVcdDirNode* dir = &root_;
    for (std::size_t i = 0; i + 1 < parts.size();) {
        CVcdDirNode* next = FindChild(*dir, parts[i]);
        if (!next) {
            const std::string missing = StrJoin(parts, i + 1, '/');
            log_.Info("autocreating directory '%s' for file '%s'", missing.c_str(), path.c_str());
            if (MakeDir(missing) != 0) return -1;
            dir = &root_;
            i = 0;
            continue;
        }
        if (!next->isDirectory) {
            log_.Error("mkfile: '%s' not a directory", StrJoin(parts, i + 1, '/').c_str());
            return -1;
        }
        dir = next;
        ++i;
    }
    if (FindChild(*dir, parts.back())) {
        log_.Error("mkfile: '%s' already exists", path.c_str());
        return -1;
    }
    auto node = std::make_unique<CVcdDirNode>();
    node->name = parts.back();
    node->isDirectory = false;
    node->version = 1;
    node->extent = extent;
    node->size = size;
    node->fileNumber = fileNumber;
    node->time = time;
    node->xaAttributes = form2 ? kXaAttrForm2File : kXaAttrForm1File;
    dir->InsertChild(std::move(node), CompareNodes);
    return 0;
}

void CVcdDirectory::ComputeSizes() {
    PreOrder(root_, [](CVcdDirNode& n) {
        if (n.isDirectory) n.size = DirectorySize(n);
    });
}

std::uint32_t CVcdDirectory::GetSize() {
    ComputeSizes();
    std::uint32_t sectors = 0;
    PreOrder(root_, [&](CVcdDirNode& n) {
        if (n.isDirectory) sectors += n.size / kIsoSectorSize;
    });
    return sectors;
}

void CVcdDirectory::SetRootExtent(std::uint32_t extent) {
    ComputeSizes();
    // A pre-order walk that hands out sectors in turn gives every subtree a contiguous run
    // with the parent first and siblings in name order.
    std::uint32_t next = extent;
    PreOrder(root_, [&](CVcdDirNode& n) {
        if (!n.isDirectory) return;
        n.extent = next;
        next += n.size / kIsoSectorSize;
    });
}

int CVcdDirectory::DumpDirectory(std::uint8_t* buffer, std::size_t bufferSize,
                                 std::uint32_t rootExtent) {
    const std::size_t needed = std::size_t{GetSize()} * kIsoSectorSize;
    if (!buffer || bufferSize < needed) {
        log_.Error("directory buffer of %zu bytes is smaller than the %zu bytes needed", bufferSize,
                   needed);
        return -1;
    }
    SetRootExtent(rootExtent);
    int result = 0;
    std::uint8_t su[kXaSystemUseSize];
    auto area = [&](const CVcdDirNode& dir) {
        return buffer + std::size_t{dir.extent - rootExtent} * kIsoSectorSize;
    };
    PreOrder(root_, [&](CVcdDirNode& n) {
        if (result != 0) return;
        SetXaSystemUse(su, n.xaAttributes, n.fileNumber);
        if (!n.isRoot) {
            const CVcdDirNode& parent = *n.parent;
            const std::string name = n.RecordName();
            if (DirAddEntry(log_, area(parent), parent.size, name.c_str(), n.extent, n.size,
                            n.isDirectory ? kIsoFlagDirectory : kIsoFlagFile, su, kXaSystemUseSize,
                            n.time) != 0)
                result = -1;
        }
        if (n.isDirectory && result == 0) {
            const CVcdDirNode& parent = n.isRoot ? n : *n.parent;
            if (DirInitNew(log_, area(n), n.size, n.extent, n.size, su, kXaSystemUseSize,
                           parent.extent, parent.size) != 0)
                result = -1;
        }
    });
    return result;
}

int CVcdDirectory::DumpPathTables(std::uint8_t* lTable, std::uint8_t* mTable) {
    PathTableInit(lTable);
    PathTableInit(mTable);
    std::vector<CVcdDirNode*> queue{&root_};
    for (std::size_t head = 0; head < queue.size(); ++head) {
        CVcdDirNode& dir = *queue[head];
        const std::uint16_t parent = dir.isRoot ? 1 : dir.parent->directoryNumber;
        const int number = PathTableAddL(log_, lTable, dir.name.c_str(), dir.extent, parent);
        if (number < 0 ||
            PathTableAddM(log_, mTable, dir.name.c_str(), dir.extent, parent) != number)
            return -1;
        dir.directoryNumber = static_cast<std::uint16_t>(number);
        if (const auto* children = dir.Children())
            for (const auto& child : *children)
                if (child->isDirectory) queue.push_back(child.get());
    }
    return 0;
}

const CVcdDirNode* CVcdDirectory::Lookup(const std::string& path) const {
    if (path.empty()) return &root_;
    const CVcdDirNode* node = &root_;
    for (const auto& part : StrSplit(path, '/')) {
        node = FindChild(*node, part);
        if (!node) return nullptr;
    }
    return node;
}
