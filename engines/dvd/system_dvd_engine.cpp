#include "engines/dvd/system_dvd_engine.h"

#include "engines/dvd/dvd_disc_types.h"
#include "engines/dvd/dvd_image_recorder.h"
#include "engines/dvd/dvd_mediainfo.h"
#include "engines/dvd/dvd_tool_output.h"
#include "engines/tools/tool_process.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unistd.h>
#include <vector>

namespace engines {

namespace fs = std::filesystem;

namespace {

// What ISO 9660 allows in the volume identifier; genisoimage refuses longer labels.
constexpr std::size_t kMaxVolumeIdBytes = 32;
constexpr int kUnitsPerPercentDone = 10000;  // genisoimage's "NN.NN% done", in hundredths
constexpr int kUnitsPerFormatPercent = 1000; // dvd+rw-format's "NN.N%", in tenths
constexpr std::size_t kErrorLinesKept = 8;

void CopyText(char* field, std::size_t size, const std::string& text) {
    if (size == 0) return;
    std::snprintf(field, size, "%s", text.c_str());
}

std::string CutUtf8(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

std::uint32_t Fail(DvdCallContext& ctx, std::uint32_t code, std::int32_t status,
                   const std::string& text) {
    ctx.status = status;
    ctx.exception.code = code;
    CopyText(ctx.text, sizeof ctx.text, text);
    return code;
}

struct Device {
    DvdDriveInfo drive;
    bool recorder = false;
    DvdProgressFn progress = nullptr;
    void* progressContext = nullptr;
    std::optional<DvdMediaInfo> media; // read once per device object, again after erase/write
    int mediaStatus = 0;               // dvd+rw-mediainfo's exit status
    std::uint32_t readSpeed = kDvdMaxSpeed, writeSpeed = kDvdMaxSpeed;

    std::mutex lock; // guards running and aborted, which Abort reaches from another thread
    ToolProcess* running = nullptr;
    bool aborted = false;

    void Report(int event, std::uint64_t total, std::uint64_t done) const {
        if (progress) progress(event, progressContext, total, done);
    }
};

struct Node {
    bool directory = false;
    std::string name; // directory name, or the file's real path
    int id = 0;
    Node* parent = nullptr;
    std::uint64_t order = 0; // nodes are kept in the order they were added
};

struct UdfTree {
    std::string label;
    std::string folder; // the DVD folder holding VIDEO_TS
    std::vector<std::string> files;
};

// Output of one tool run: the error lines, and the last lines for when there are none.
struct ToolRun {
    int status = -1;
    bool aborted = false;
    std::vector<std::string> errors;
    std::vector<std::string> tail;
    std::string startError;

    void Note(const std::string& line, bool error) {
        if (line.empty()) return;
        if (error && errors.size() < kErrorLinesKept) errors.push_back(line);
        tail.push_back(line);
        if (tail.size() > 2) tail.erase(tail.begin());
    }
    std::string Text(const std::string& tool) const {
        std::string text;
        for (const std::string& e : errors.empty() ? tail : errors)
            text += (text.empty() ? "" : "\n") + e;
        if (!startError.empty()) text = startError;
        if (text.empty()) text = tool + " ended with status " + std::to_string(status);
        return text;
    }
};

class SystemDvdEngine : public DvdEngine {
  public:
    explicit SystemDvdEngine(const SystemDvdEngineOptions& options) : options_(options) {}

    std::uint32_t UpStart() override { return 0; }
    void ShutDown() override {}

    std::uint32_t FindDevice(int, int, DvdFindDeviceFn fn, void* context) override {
        std::vector<DvdDeviceAddress> found;
        {
            std::lock_guard<std::mutex> guard(lock_);
            drives_ = DiscoverDvdDrives(options_.paths);
            for (const DvdDriveInfo& d : drives_)
                found.push_back(d.address);
        }
        found.push_back(kDvdRecorderAddress);
        if (fn)
            for (const DvdDeviceAddress& a : found)
                fn(kDvdDeviceFoundEvent, a, context);
        return 0;
    }

    void ReleaseDevice(DvdDevice** device) override {
        if (!device || !*device) return;
        std::lock_guard<std::mutex> guard(lock_);
        devices_.erase(reinterpret_cast<Device*>(*device));
        *device = nullptr;
    }

    std::uint32_t GetDeviceNameByDeviceAddress(const DvdDeviceAddress& address, char* name,
                                               std::size_t size) override {
        DvdDriveInfo drive;
        bool recorder = false;
        if (!Lookup(address, drive, recorder)) return kSystemDvdNoSuchDevice;
        // Names read "\\.\" and the drive; the burner shows what follows the prefix.
        CopyText(name, size, "\\\\.\\" + (recorder ? DiscsFolder() : drive.devicePath));
        return 0;
    }

    std::uint32_t Create(DvdDevice** device, DvdCallContext& ctx, DvdProgressFn fn, void* fnContext,
                         const DvdDeviceAddress& address, int) override {
        auto d = std::make_unique<Device>();
        if (!Lookup(address, d->drive, d->recorder)) {
            char text[80];
            std::snprintf(text, sizeof text, "no drive at address %u:%u:%u:%u", address.port,
                          address.bus, address.targetId, address.lun);
            return Fail(ctx, kSystemDvdNoSuchDevice, 2, text);
        }
        d->progress = fn;
        d->progressContext = fnContext;
        std::lock_guard<std::mutex> guard(lock_);
        *device = reinterpret_cast<DvdDevice*>(d.get());
        Device* key = d.get();
        devices_[key] = std::move(d);
        return 0;
    }

    std::uint32_t GetDeviceInformation(DvdDevice* device, DvdCallContext& ctx,
                                       DvdIdentity& identity) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        identity = DvdIdentity();
        CopyText(identity.vendor, sizeof identity.vendor,
                 d->recorder ? kDvdRecorderVendor : d->drive.vendor);
        CopyText(identity.product, sizeof identity.product,
                 d->recorder ? kDvdRecorderProduct : d->drive.model);
        CopyText(identity.revision, sizeof identity.revision,
                 d->recorder ? "1.0" : d->drive.revision);
        return 0;
    }

    // Ten flags: writes CD-R, writes CD-RW, reads DVD, writes DVD-R, writes DVD-RAM, reads
    // multisession, opens the tray, closes it, locks it, changes speed.
    std::uint32_t GetCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                  std::int32_t (&flags)[10]) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        const DvdDriveInfo& i = d->drive;
        const bool r = d->recorder;
        const bool values[10] = {!r && i.canWriteCdR,    !r && i.canWriteCdRw,
                                 r || i.canReadDvd,      r || i.canWriteDvdR,
                                 !r && i.canWriteDvdRam, r || i.canReadMultisession,
                                 !r && i.canOpenTray,    !r && i.canCloseTray,
                                 !r && i.canLockTray,    !r && i.canChangeSpeed};
        for (int k = 0; k < 10; ++k)
            flags[k] = values[k] ? 1 : 0;
        return 0;
    }

    // Six flags: reads DVD, writes DVD-RAM, writes DVD (DVD-R), writes CD-R, writes CD-RW,
    // reads multisession.
    std::uint32_t GetExCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                    std::int32_t (&flags)[6]) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        const DvdDriveInfo& i = d->drive;
        const bool r = d->recorder;
        const bool values[6] = {r || i.canReadDvd,    !r && i.canWriteDvdRam,
                                r || i.canWriteDvdR,  !r && i.canWriteCdR,
                                !r && i.canWriteCdRw, r || i.canReadMultisession};
        for (int k = 0; k < 6; ++k)
            flags[k] = values[k] ? 1 : 0;
        return 0;
    }

    std::uint32_t TestUnitReady(DvdDevice* device, DvdCallContext& ctx) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        if (d->recorder) return 0;
        d->media.reset(); // a new look at the drive: the disc may have changed
        return Media(*d, ctx) ? 0 : ctx.exception.code;
    }

    std::uint32_t GetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t& enabled,
                         std::int32_t& supported) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        // Drives keep their own underrun protection on; a file has no buffer to run dry.
        enabled = d->recorder ? 0 : 1;
        supported = d->recorder ? 0 : 1;
        return 0;
    }

    std::uint32_t SetBUP(DvdDevice* device, DvdCallContext& ctx, std::int32_t) override {
        return Find(device, ctx) ? 0 : kSystemDvdNoSuchDevice;
    }

    // The first four write speeds the disc allows, in KB/s (0 where none is known).
    std::uint32_t GetSpeeds(DvdDevice* device, DvdCallContext& ctx,
                            std::int32_t (&speeds)[4]) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        for (std::int32_t& s : speeds)
            s = 0;
        if (d->recorder || !d->media) return 0;
        for (std::size_t k = 0; k < 4 && k < d->media->writeSpeeds.size(); ++k)
            speeds[k] = d->media->writeSpeeds[k];
        return 0;
    }

    // growisofs picks the fastest speed the disc allows, which is what 0xFFFF asks for.
    std::uint32_t SetSpeeds(DvdDevice* device, DvdCallContext& ctx, std::uint32_t read,
                            std::uint32_t write) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        d->readSpeed = read;
        d->writeSpeed = write;
        return 0;
    }

    std::uint32_t PrepareWrite(DvdDevice* device, DvdCallContext& ctx) override {
        return Find(device, ctx) ? 0 : kSystemDvdNoSuchDevice;
    }

    std::uint32_t TrackAtOnceFromTree(DvdDevice* device, DvdCallContext& ctx, DvdUdfTree* tree, int,
                                      int, int, int, int) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        UdfTree copy;
        {
            std::lock_guard<std::mutex> guard(lock_);
            auto it = trees_.find(reinterpret_cast<UdfTree*>(tree));
            if (it == trees_.end())
                return Fail(ctx, kSystemDvdBadTree, 2, "no UDF file system to write");
            copy = *it->second;
        }
        return d->recorder ? RecordImage(*d, ctx, copy) : BurnDisc(*d, ctx, copy);
    }

    std::uint32_t FinishWrite(DvdDevice* device, DvdCallContext& ctx) override {
        return Find(device, ctx) ? 0 : kSystemDvdNoSuchDevice;
    }

    // Best effort: without an eject program, or for the recorder, there is nothing to do.
    std::uint32_t Eject(DvdDevice* device, DvdCallContext& ctx) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        if (d->recorder || FindTool("eject").empty()) return 0;
        ToolRun run = Run(*d, {"eject", d->drive.devicePath},
                          [](ToolRun& r, const std::string& l) { r.Note(l, true); });
        d->media.reset();
        if (run.status == 0) return 0;
        return Fail(ctx, kSystemDvdToolFailed, run.status, run.Text("eject"));
    }

    std::uint32_t Erase(DvdDevice* device, DvdCallContext& ctx, int) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        if (d->recorder) return 0; // always blank
        if (!Media(*d, ctx)) return ctx.exception.code;
        const DvdMediaInfo media = *d->media;
        if (media.state != DvdMediaInfo::State::kMedium)
            return Fail(ctx, kSystemDvdToolFailed, 2, "the disc is not a rewritable DVD");
        DvdProfileFacts facts = FactsOfProfile(media.profile);
        if (facts.overwritable) {
            // DVD+RW and DVD-RAM have no blank state (dvd+rw-format refuses -blank on them) and
            // growisofs writes over them from the start; the user has agreed, so the disc counts
            // as blank until it is written or taken out.
            std::lock_guard<std::mutex> guard(lock_);
            erased_.insert(ErasedKey(d->drive, media));
            return 0;
        }
        // With -gui the progress comes as one "* blanking N.N%" line per step; without it the
        // percentage is rewritten in place with backspaces and would arrive only at the end.
        ToolRun run =
            Run(*d, {"dvd+rw-format", "-gui", "-blank", d->drive.devicePath},
                [d](ToolRun& r, const std::string& line) {
                    std::uint32_t tenths = 0;
                    if (ParseFormatProgress(line, tenths))
                        d->Report(kDvdWrittenEvent, kUnitsPerFormatPercent, tenths);
                    r.Note(line, IsErrorLine(line) || line.find("illegal") != std::string::npos);
                });
        d->media.reset();
        if (run.aborted) return kDvdAbortException;
        // dvd+rw-format exits 0 whatever happened: its error lines tell a failure.
        if (!run.startError.empty()) return Fail(ctx, kSystemDvdToolMissing, -1, run.startError);
        if (run.status != 0 || !run.errors.empty())
            return Fail(ctx, kSystemDvdToolFailed, run.status, run.Text("dvd+rw-format"));
        return 0;
    }

    std::uint32_t GetTrackInformation(DvdDevice* device, DvdCallContext& ctx, int,
                                      DvdTrackInformation& info) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        std::memset(&info, 0, sizeof info);
        if (d->recorder) return 0;
        if (!Media(*d, ctx)) return ctx.exception.code;
        info.value16 = RecordedValue(*d);
        return 0;
    }

    std::uint32_t GetDiscInformation(DvdDevice* device, DvdCallContext& ctx,
                                     DvdDiscInformation& info) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        std::memset(&info, 0, sizeof info);
        if (d->recorder) return 0;
        if (!Media(*d, ctx)) return ctx.exception.code;
        info.erasable = d->media->state == DvdMediaInfo::State::kMedium &&
                                FactsOfProfile(d->media->profile).erasable
                            ? 1
                            : 0;
        return 0;
    }

    std::uint32_t ProbeSupportedWriteModes(DvdDevice* device, DvdCallContext& ctx,
                                           std::int32_t (&modes)[4]) override {
        Device* d = Find(device, ctx);
        if (!d) return kSystemDvdNoSuchDevice;
        modes[0] = 1; // track at once: growisofs' incremental write, or the image file
        modes[1] = d->recorder ? 0 : 1; // disc at once (-dvd-compat)
        modes[2] = modes[3] = 0;
        return 0;
    }

    std::int32_t GetDiscType(DvdDevice* device) override {
        DvdCallContext ctx;
        Device* d = Find(device, ctx);
        if (!d) return kDiscTypeNone;
        if (d->recorder) return kDiscTypeDvdPlusR;
        if (!Media(*d, ctx)) return kDiscTypeNone;
        if (d->media->state == DvdMediaInfo::State::kNotDvd) return kDiscTypeCdRom;
        return FactsOfProfile(d->media->profile).typeCode;
    }

    std::uint32_t Abort(DvdDevice* device) override {
        Device* d = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            auto it = devices_.find(reinterpret_cast<Device*>(device));
            if (it == devices_.end()) return kSystemDvdNoSuchDevice;
            d = it->second.get();
            // The device stays alive while lock_ is held: ReleaseDevice needs it too.
            std::lock_guard<std::mutex> deviceGuard(d->lock);
            d->aborted = true;
            if (d->running) d->running->Signal(SIGTERM);
        }
        return 0;
    }

    std::uint32_t BuildUdf(DvdTreeNode* root, DvdTreeNode* videoTs, DvdTreeNode* audioTs,
                           const char* label, DvdUdfTree** tree, DvdCallContext& ctx) override {
        std::lock_guard<std::mutex> guard(lock_);
        Node* video = NodeOf(videoTs);
        if (!NodeOf(root) || !video || !NodeOf(audioTs) || !video->directory)
            return Fail(ctx, kSystemDvdBadTree, 2, "the directory nodes are not this engine's");
        auto t = std::make_unique<UdfTree>();
        t->label = CutUtf8(label ? label : "", kMaxVolumeIdBytes);
        std::vector<const Node*> files;
        for (const auto& entry : nodes_)
            if (!entry.second->directory && entry.second->parent == video)
                files.push_back(entry.second.get());
        std::sort(files.begin(), files.end(),
                  [](const Node* a, const Node* b) { return a->order < b->order; });
        fs::path folder;
        for (const Node* node : files) {
            fs::path dir = fs::path(node->name).parent_path();
            if (folder.empty()) folder = dir;
            if (dir != folder)
                return Fail(ctx, kSystemDvdBadTree, 2,
                            "the files of VIDEO_TS lie in more than one folder: " +
                                folder.string() + ", " + dir.string());
            t->files.push_back(node->name);
        }
        if (t->files.empty()) return Fail(ctx, kSystemDvdBadTree, 2, "VIDEO_TS holds no file");
        // The writers take the DVD folder and find VIDEO_TS in it by that name.
        if (folder.filename() != "VIDEO_TS")
            return Fail(ctx, kSystemDvdBadTree, 2,
                        "the DVD-Video files must lie in a folder named VIDEO_TS: " +
                            folder.string());
        t->folder = folder.parent_path().string();
        *tree = reinterpret_cast<DvdUdfTree*>(t.get());
        UdfTree* key = t.get();
        trees_[key] = std::move(t);
        return 0;
    }

    void ReleaseUdf(DvdUdfTree* tree) override {
        std::lock_guard<std::mutex> guard(lock_);
        trees_.erase(reinterpret_cast<UdfTree*>(tree));
    }

    std::uint32_t AddFileNode(const char* path, int id, DvdTreeNode* parent,
                              DvdTreeNode** node) override {
        if (!path || !node) return kSystemDvdBadTree;
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return kSystemDvdBadTree;
        close(fd);
        return AddNode(false, path, id, parent, node);
    }

    std::uint32_t AddDirectoryNode(const char* name, int id, DvdTreeNode* parent,
                                   DvdTreeNode** node) override {
        if (!node) return kSystemDvdBadTree;
        return AddNode(true, name ? name : "", id, parent, node);
    }

    void ReleaseNodes(DvdTreeNode** nodes, int count) override {
        std::lock_guard<std::mutex> guard(lock_);
        for (int i = 0; i < count; ++i) {
            if (nodes[i]) nodes_.erase(reinterpret_cast<Node*>(nodes[i]));
            nodes[i] = nullptr;
        }
    }

  private:
    using LineHandler = std::function<void(ToolRun&, const std::string&)>;

    std::string DiscsFolder() const {
        return options_.discsFolder.empty() ? DvdDiscsFolder() : options_.discsFolder;
    }

    static std::string ErasedKey(const DvdDriveInfo& drive, const DvdMediaInfo& media) {
        return drive.devicePath + "\n" + media.mediaId;
    }

    bool Lookup(const DvdDeviceAddress& address, DvdDriveInfo& drive, bool& recorder) {
        if (address == kDvdRecorderAddress) {
            recorder = true;
            drive = DvdDriveInfo();
            return true;
        }
        recorder = false;
        std::lock_guard<std::mutex> guard(lock_);
        for (int pass = 0; pass < 2; ++pass) {
            for (const DvdDriveInfo& d : drives_) {
                if (d.address == address) {
                    drive = d;
                    return true;
                }
            }
            if (pass == 0) drives_ = DiscoverDvdDrives(options_.paths); // a drive plugged in
        }
        return false;
    }

    Device* Find(DvdDevice* device, DvdCallContext& ctx) {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = devices_.find(reinterpret_cast<Device*>(device));
        if (it != devices_.end()) return it->second.get();
        Fail(ctx, kSystemDvdNoSuchDevice, 2, "no such device object");
        return nullptr;
    }

    Node* NodeOf(DvdTreeNode* node) {
        auto it = nodes_.find(reinterpret_cast<Node*>(node));
        return it == nodes_.end() ? nullptr : it->second.get();
    }

    std::uint32_t AddNode(bool directory, const std::string& name, int id, DvdTreeNode* parent,
                          DvdTreeNode** node) {
        std::lock_guard<std::mutex> guard(lock_);
        Node* p = nullptr;
        if (parent && !(p = NodeOf(parent))) return kSystemDvdBadTree;
        auto n = std::make_unique<Node>();
        n->directory = directory;
        n->name = name;
        n->id = id;
        n->parent = p;
        n->order = ++nodeCount_;
        *node = reinterpret_cast<DvdTreeNode*>(n.get());
        Node* key = n.get();
        nodes_[key] = std::move(n);
        return 0;
    }

    // Runs the tool so that Abort can stop it; a run aborted before it started never starts.
    ToolRun Run(Device& d, const std::vector<std::string>& argv, const LineHandler& onLine) {
        ToolRun run;
        ToolProcess process;
        {
            std::lock_guard<std::mutex> guard(d.lock);
            if (d.aborted) {
                run.aborted = true;
                return run;
            }
            if (!process.Start(argv)) {
                run.startError = process.ErrorText();
                return run;
            }
            d.running = &process;
        }
        run.status = process.Wait([&](const std::string& line) { onLine(run, line); });
        std::lock_guard<std::mutex> guard(d.lock);
        d.running = nullptr;
        run.aborted = d.aborted;
        return run;
    }

    // Reads the disc once per device object; false with the context filled when it cannot.
    bool Media(Device& d, DvdCallContext& ctx) {
        if (!d.media) {
            std::vector<std::string> lines;
            ToolRun run = Run(d, {"dvd+rw-mediainfo", d.drive.devicePath},
                              [&lines](ToolRun&, const std::string& l) { lines.push_back(l); });
            if (!run.startError.empty()) {
                Fail(ctx, kSystemDvdToolMissing, -1, run.startError);
                return false;
            }
            d.media = ParseMediaInfo(lines, run.status);
            d.mediaStatus = run.status;
        }
        switch (d.media->state) {
        case DvdMediaInfo::State::kMedium:
        case DvdMediaInfo::State::kNotDvd:
            return true;
        case DvdMediaInfo::State::kNoMedium:
            Fail(ctx, kSystemDvdNoMedium, d.mediaStatus, "no media mounted");
            return false;
        case DvdMediaInfo::State::kFailed:
            break;
        }
        Fail(ctx, kSystemDvdToolFailed, d.mediaStatus, d.media->errorText);
        return false;
    }

    // The int32 at byte 16 of the track information: 0 on a blank disc, else the recorded size.
    std::int32_t RecordedValue(const Device& d) {
        const DvdMediaInfo& m = *d.media;
        if (m.state != DvdMediaInfo::State::kMedium) return 1;
        if (m.Blank()) return 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (FactsOfProfile(m.profile).overwritable && erased_.count(ErasedKey(d.drive, m)))
                return 0;
        }
        return static_cast<std::int32_t>(
            std::clamp<std::uint64_t>(m.readCapacity, 1, static_cast<std::uint64_t>(INT32_MAX)));
    }

    std::uint32_t BurnDisc(Device& d, DvdCallContext& ctx, const UdfTree& tree) {
        std::vector<std::string> argv = {"growisofs", "-dvd-compat"};
        bool overwrite = false;
        if (d.media && d.media->state == DvdMediaInfo::State::kMedium) {
            std::lock_guard<std::mutex> guard(lock_);
            overwrite = erased_.count(ErasedKey(d.drive, *d.media)) > 0;
        }
        // Without a terminal growisofs refuses a disc that holds a file system; the user has
        // agreed to write over this one.
        if (overwrite) argv.push_back("-use-the-force-luke=tty");
        argv.push_back("-Z");
        argv.push_back(d.drive.devicePath);
        // The label is UTF-8 whatever the tool's locale.
        for (const char* a : {"-dvd-video", "-input-charset", "utf-8", "-V"})
            argv.push_back(a);
        argv.push_back(tree.label);
        argv.push_back(tree.folder);

        bool counted = false, finalized = false;
        ToolRun run = Run(d, argv, [&](ToolRun& r, const std::string& line) {
            std::uint64_t done = 0, total = 0;
            std::uint32_t hundredths = 0;
            bool error = IsErrorLine(line);
            r.Note(line, error);
            if (ParseGrowisofsProgress(line, done, total)) {
                counted = true;
                d.Report(kDvdWrittenEvent, total, done);
            } else if (!counted && ParsePercentDone(line, hundredths)) {
                d.Report(kDvdWrittenEvent, kUnitsPerPercentDone, hundredths);
            } else if (!finalized && r.errors.empty() && IsClosingLine(line)) {
                finalized = true;
                d.Report(kDvdFinalizeEvent, 0, 0);
            }
        });
        d.media.reset();
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (auto it = erased_.begin(); it != erased_.end();)
                it = it->rfind(d.drive.devicePath + "\n", 0) == 0 ? erased_.erase(it) : ++it;
        }
        if (run.aborted) return kDvdAbortException;
        if (!run.startError.empty()) return Fail(ctx, kSystemDvdToolMissing, -1, run.startError);
        if (run.status != 0 || !run.errors.empty())
            return Fail(ctx, kSystemDvdToolFailed, run.status, run.Text("growisofs"));
        if (!finalized) d.Report(kDvdFinalizeEvent, 0, 0);
        return 0;
    }

    std::uint32_t RecordImage(Device& d, DvdCallContext& ctx, const UdfTree& tree) {
        std::string path, error;
        if (!ReserveDvdImageFile(DiscsFolder(), tree.label.empty() ? "DVD" : tree.label, path,
                                 error))
            return Fail(ctx, kSystemDvdToolFailed, 2, error);
        bool finalized = false;
        ToolRun run =
            Run(d,
                {"genisoimage", "-dvd-video", "-udf", "-input-charset", "utf-8", "-V", tree.label,
                 "-o", path, tree.folder},
                [&](ToolRun& r, const std::string& line) {
                    std::uint32_t hundredths = 0;
                    r.Note(line, line.rfind("genisoimage:", 0) == 0);
                    if (ParsePercentDone(line, hundredths)) {
                        d.Report(kDvdWrittenEvent, kUnitsPerPercentDone, hundredths);
                    } else if (!finalized && r.errors.empty() &&
                               line.find("extents written") != std::string::npos) {
                        // The image is complete; what is left is closing the file.
                        d.Report(kDvdWrittenEvent, kUnitsPerPercentDone, kUnitsPerPercentDone);
                        finalized = true;
                        d.Report(kDvdFinalizeEvent, 0, 0);
                    }
                });
        bool ok = !run.aborted && run.startError.empty() && run.status == 0 && run.errors.empty();
        if (!ok) {
            std::error_code ec;
            fs::remove(path, ec); // a partial image is no disc
        }
        if (run.aborted) return kDvdAbortException;
        if (!run.startError.empty()) return Fail(ctx, kSystemDvdToolMissing, -1, run.startError);
        if (!ok) return Fail(ctx, kSystemDvdToolFailed, run.status, run.Text("genisoimage"));
        if (!finalized) {
            d.Report(kDvdWrittenEvent, kUnitsPerPercentDone, kUnitsPerPercentDone);
            d.Report(kDvdFinalizeEvent, 0, 0);
        }
        CopyText(ctx.text, sizeof ctx.text, path);
        return 0;
    }

    const SystemDvdEngineOptions options_;
    std::mutex lock_;
    std::vector<DvdDriveInfo> drives_;
    std::map<Device*, std::unique_ptr<Device>> devices_;
    std::map<Node*, std::unique_ptr<Node>> nodes_;
    std::map<UdfTree*, std::unique_ptr<UdfTree>> trees_;
    std::uint64_t nodeCount_ = 0;
    std::set<std::string> erased_; // overwritable discs the user let us write over
};

} // namespace

std::unique_ptr<DvdEngine> MakeSystemDvdEngine() {
    return MakeSystemDvdEngine(SystemDvdEngineOptions());
}

std::unique_ptr<DvdEngine> MakeSystemDvdEngine(const SystemDvdEngineOptions& options) {
    return std::make_unique<SystemDvdEngine>(options);
}

} // namespace engines
