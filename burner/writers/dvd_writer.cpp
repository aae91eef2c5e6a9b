#include "burner/writers/dvd_writer.h"

#include "burner/writers/cd_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace engines;

namespace {

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

DvdDeviceAddress AddressOf(std::uint32_t port, std::uint32_t bus, std::uint32_t targetId,
                           std::uint32_t lun) {
    DvdDeviceAddress a;
    a.port = static_cast<std::uint8_t>(port);
    a.bus = static_cast<std::uint8_t>(bus);
    a.targetId = static_cast<std::uint8_t>(targetId);
    a.lun = static_cast<std::uint8_t>(lun);
    return a;
}

long L(std::uint32_t v) {
    return static_cast<long>(v);
}

// At most max bytes, never ending inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

const char kNoDiscText[] =
    "No disc in the writer. Please insert a writable dvd disc into the driver.";
const char kNotWritableText[] = "The inserted disc is not a writable dvd disc. Please insert a "
                                "writable dvd disc into the driver.";
const char kNotEmptyText[] = "The inserted disc is not a empty dvd disc. Please insert a blank "
                             "disc into the driver.";

} // namespace

DvdWriter::DvdWriter(DvdEngine& engine, platform::MessageBoxes& messages)
    : engine_(engine), messages_(messages) {}

DvdWriter::~DvdWriter() {
    Join();
}

void DvdWriter::Join() {
    if (worker_.joinable()) worker_.join();
}

void DvdWriter::Show(const std::string& text) {
    messages_.Show(text, kWriterBoxCaption, platform::MB_OK);
}

void DvdWriter::Post(unsigned message, unsigned wParam, platform::LPARAM lParam) {
    platform::PostMessage(op_.window, message, wParam, lParam);
}

// --- discovery -----------------------------------------------------------------------------

void DvdWriter::ListDvdWriters(WriterCombo& combo) {
    count_ = 0;
    if (engine_.UpStart() == 0) {
        engine_.FindDevice(5, 0, FindDeviceCallback, this);
        engine_.ShutDown();
    }
    for (int i = 0; i < count_; ++i) {
        const DvdWriterEntry& w = writers_[i];
        if (w.dvdWritable != 1) continue;
        if (!w.vendor.empty() && w.vendor[0] == ' ')
            combo.AddString(w.product);
        else
            combo.AddString(
                Format("%s %s %s", w.driveName.c_str(), w.vendor.c_str(), w.product.c_str()));
    }
    combo.SetCurSel(0);
}

void DvdWriter::FindDeviceCallback(int event, const DvdDeviceAddress& address, void* context) {
    if (event != kDvdDeviceFoundEvent) return;
    static_cast<DvdWriter*>(context)->OnDeviceFound(address);
}

void DvdWriter::OnDeviceFound(const DvdDeviceAddress& address) {
    DvdWriterEntry& entry = count_ < kDvdWriterSlots ? writers_[count_] : overflow_;
    entry = DvdWriterEntry();
    entry.port = address.port;
    entry.bus = address.bus;
    entry.targetId = address.targetId;
    entry.lun = address.lun;

    DvdCallContext ctx;
    DvdDevice* device = nullptr;
    std::uint32_t e = engine_.Create(&device, ctx, nullptr, nullptr, address, kDvdCreateForListing);
    if (e != 0) {
        Show(Format("Start DVD Burner Engine failed! \n\nFindDeviceCallback:Create() failed, "
                    "exception %ld, status %ld, text '%s'\n",
                    L(e), static_cast<long>(ctx.status), ctx.text));
        return;
    }
    DvdIdentity identity;
    engine_.GetDeviceInformation(device, ctx, identity);
    identity.vendor[sizeof identity.vendor - 1] = '\0';
    identity.product[sizeof identity.product - 1] = '\0';
    entry.vendor = identity.vendor;
    entry.product = identity.product;
    std::int32_t flags10[10] = {};
    engine_.GetCapabilities(device, ctx, flags10);
    std::int32_t flags6[6] = {};
    engine_.GetExCapabilities(device, ctx, flags6);

    char name[1024] = {};
    e = engine_.GetDeviceNameByDeviceAddress(address, name, sizeof name);
    if (e != 0) {
        Show(Format("Create DVD Burner Engine failed! \n\nFindDeviceback:"
                    "GetDeviceNameByDeviceAddress() failed, exception %d ( 0x%x )\n",
                    static_cast<int>(e), static_cast<unsigned>(e)));
    } else {
        name[sizeof name - 1] = '\0';
        entry.dvdWritable = flags6[2];
        // The name reads "\\.\E:"; what follows the device prefix is the drive.
        entry.driveName = std::strlen(name) > 4 ? std::string(name + 4) : std::string();
        if (entry.dvdWritable == 1 && count_ < kDvdWriterSlots) ++count_;
    }
    engine_.ReleaseDevice(&device);
}

// --- disc check ----------------------------------------------------------------------------

void DvdWriter::GetInsertedDiscInfo(DvdDiscInfo& result, std::uint32_t port, std::uint32_t bus,
                                    std::uint32_t targetId, std::uint32_t lun) {
    result = DvdDiscInfo();
    std::uint32_t e = engine_.UpStart();
    if (e != 0) {
        Show(Format("Initialize DVD Burner Engine failed! \n\nGetInsertedDiscInfo: UpStart() "
                    "failed, exception %ld\n",
                    L(e)));
        return;
    }
    DvdCallContext ctx;
    DvdDevice* device = nullptr;
    e = engine_.Create(&device, ctx, nullptr, nullptr, AddressOf(port, bus, targetId, lun),
                       kDvdCreateForDiscCheck);
    auto finish = [&] {
        if (device) engine_.ReleaseDevice(&device);
        engine_.ShutDown();
    };
    auto refuse = [&](const std::string& text) {
        Show(text);
        result.isWritableDvd = 0;
        engine_.Eject(device, ctx);
        finish();
    };
    if (e != 0) {
        Show(Format("Start DVD Burner Engine failed! \n\nGetInsertedDiscInfo: Create() failed, "
                    "exception %ld, status %ld, text '%s'\n",
                    L(e), static_cast<long>(ctx.status), ctx.text));
        device = nullptr;
        finish();
        return;
    }
    if (engine_.TestUnitReady(device, ctx) != 0) return refuse(kNoDiscText);
    DvdTrackInformation track;
    std::memset(&track, 0, sizeof track);
    if (engine_.GetTrackInformation(device, ctx, kDvdLastTrack, track) != 0)
        return refuse("Please insert a blank writable DVD disc into the driver.");
    DvdDiscInformation disc;
    std::memset(&disc, 0, sizeof disc);
    e = engine_.GetDiscInformation(device, ctx, disc);
    if (e != 0)
        return refuse(Format("Get disc info failed. Please insert a writable dvd disc into the "
                             "driver.\n\nGetInsertedDiscInfo:GetDiscInformation() failed, "
                             "exception %ld, status %ld, text '%s'\n",
                             L(e), static_cast<long>(ctx.status), ctx.text));

    result.isWritableDvd = IsWritableDvdType(engine_.GetDiscType(device)) ? 1 : 0;
    result.isErasable = disc.erasable;
    result.isBlank = track.value16 == 0 ? 1 : 0;
    if (result.isWritableDvd == 0) return refuse(kNotWritableText);
    if (result.isErasable == 0 && result.isBlank == 0) return refuse(kNotEmptyText);
    finish();
}

// --- threads -------------------------------------------------------------------------------

void DvdWriter::Start(Operation op, std::int32_t (DvdWriter::*body)()) {
    Join();
    op_ = std::move(op);
    worker_ = std::thread([this, body] { (this->*body)(); });
}

void DvdWriter::StartDvdErase(platform::HWND window, std::uint32_t port, std::uint32_t bus,
                              std::uint32_t targetId, std::uint32_t lun) {
    Operation op;
    op.window = window;
    op.address = AddressOf(port, bus, targetId, lun);
    Start(std::move(op), &DvdWriter::Blank);
}

void DvdWriter::StartDvdBurn(platform::HWND window, const std::string& folder,
                             const std::string& label, std::uint32_t port, std::uint32_t bus,
                             std::uint32_t targetId, std::uint32_t lun) {
    Operation op;
    op.window = window;
    op.address = AddressOf(port, bus, targetId, lun);
    op.folder = folder;
    op.label = CutUtf8(label, 255);
    Start(std::move(op), &DvdWriter::DVDVideoBurn);
}

void DvdWriter::AbortDvdBurn() {
    std::lock_guard<std::mutex> guard(abortLock_);
    if (abortSlot_) engine_.Abort(abortSlot_);
}

namespace {
void IgnoreProgress(int, void*, std::uint64_t, std::uint64_t) {}
} // namespace

std::int32_t DvdWriter::Blank() {
    Post(WM_DVD_ERASE_EVENT, kDvdEraseStarted);
    std::uint32_t e = engine_.UpStart();
    if (e != 0) {
        Post(WM_DVD_ERASE_EVENT, kDvdEraseFailed);
        Show(Format("Initialize DVD Burner Engine failed!\n\nBlank:UpStart() failed, exception "
                    "%ld\n",
                    L(e)));
        return kDvdStatusPreset;
    }
    DvdCallContext ctx;
    DvdDevice* device = nullptr;
    auto fail = [&](const std::string& text) {
        Post(WM_DVD_ERASE_EVENT, kDvdEraseFailed);
        Show(text);
        if (device) engine_.Eject(device, ctx);
    };
    auto status = [&] { return static_cast<long>(ctx.status); };

    e = engine_.Create(&device, ctx, IgnoreProgress, this, op_.address, kDvdCreateForWriting);
    if (e != 0) {
        device = nullptr;
        fail(Format("Start DVD Burner Engine failed!\n\nBlank:Create() failed, exception %ld, "
                    "status %ld, text '%s'\n",
                    L(e), status(), ctx.text));
    } else if (engine_.TestUnitReady(device, ctx) != 0) {
        fail(kNoDiscText);
    } else {
        engine_.SetSpeeds(device, ctx, kDvdMaxSpeed, kDvdMaxSpeed);
        std::int32_t speeds[4] = {};
        if ((e = engine_.GetSpeeds(device, ctx, speeds)) != 0) {
            fail(Format("Get DVD Burner Engine speed failed!\n\nBlank:GetSpeeds() failed, "
                        "exception %ld, status %ld, text '%s'\n",
                        L(e), status(), ctx.text));
        } else if ((e = engine_.Erase(device, ctx, 1)) != 0) {
            fail(Format("Erase DVD disc failed!\n\nBlank: Erase() failed, exception %ld, status "
                        "%ld, text '%s'\n",
                        L(e), status(), ctx.text));
        } else {
            ctx.status = 0;
            Post(WM_DVD_ERASE_EVENT, kDvdEraseDone);
        }
    }
    if (device) engine_.ReleaseDevice(&device);
    engine_.ShutDown();
    return ctx.status;
}

void DvdWriter::BurnProgressCallback(int event, void* context, std::uint64_t total,
                                     std::uint64_t done) {
    DvdWriter* self = static_cast<DvdWriter*>(context);
    if (event == kDvdFinalizeEvent) {
        self->Post(WM_DVD_BURN_EVENT, kDvdBurnFinalizing);
    } else if (event == kDvdWrittenEvent && total > 0) {
        std::int64_t percent = static_cast<std::int64_t>(done * 100 / total);
        if (percent != self->lastPercent_) {
            self->lastPercent_ = percent;
            self->Post(WM_DVD_BURN_EVENT, kDvdBurnProgress, static_cast<platform::LPARAM>(percent));
        }
    }
}

std::int32_t DvdWriter::DVDVideoBurn() {
    Post(WM_DVD_BURN_EVENT, kDvdBurnStarted);
    DvdTreeNode* directoryNodes[kDvdDirectoryNodeSlots] = {};
    DvdTreeNode* fileNodes[kDvdFileNodeSlots] = {};

    std::uint32_t e = engine_.UpStart();
    if (e != 0) {
        Post(WM_DVD_BURN_EVENT, kDvdBurnFailed);
        Show(Format("Initialize DVD Burner Engine failed! \n\nDVDVideoBurn: UpStart() failed, "
                    "exception %ld\n",
                    L(e)));
        return kDvdStatusPreset;
    }

    DvdCallContext ctx;
    DvdDevice* device = nullptr;
    DvdUdfTree* udf = nullptr;
    auto status = [&] { return static_cast<long>(ctx.status); };
    // Failures after the engine has started: post first, then show, then eject when asked.
    auto fail = [&](const std::string& text, bool eject) {
        Post(WM_DVD_BURN_EVENT, kDvdBurnFailed);
        Show(text);
        if (eject && device) engine_.Eject(device, ctx);
    };

    [&] {
        std::string errorText;
        VideoTsTreeResult tree =
            BuildVideoTsTree(engine_, op_.folder, directoryNodes, fileNodes, errorText);
        if (tree == VideoTsTreeResult::kMissingFile) {
            engine_.ReleaseNodes(fileNodes, kDvdFileNodeSlots);
            engine_.ReleaseNodes(directoryNodes, kDvdDirectoryNodeSlots);
            errorText.clear();
            tree = BuildVideoTsTree(engine_, op_.folder + "VIDEO_TS/", directoryNodes, fileNodes,
                                    errorText);
        }
        if (tree != VideoTsTreeResult::kOk) {
            Show(errorText);
            Post(WM_DVD_BURN_EVENT, kDvdBurnFailed);
            return;
        }

        if ((e = engine_.BuildUdf(directoryNodes[0], directoryNodes[1], directoryNodes[2],
                                  op_.label.c_str(), &udf, ctx)) != 0) {
            udf = nullptr;
            return fail(Format("Create UDF system failed, exception %ld, status %ld, text '%s'",
                               L(e), status(), ctx.text),
                        false);
        }

        e = engine_.Create(&device, ctx, BurnProgressCallback, this, op_.address,
                           kDvdCreateForWriting);
        if (e != 0) {
            device = nullptr;
            return fail(Format("Construct DVD burner failed!\n\nDVDVideoBurn:Create() exception "
                               "%ld, status %ld, text '%s'",
                               L(e), status(), ctx.text),
                        false);
        }
        {
            std::lock_guard<std::mutex> guard(abortLock_);
            abortSlot_ = device;
        }

        DvdIdentity identity;
        engine_.GetDeviceInformation(device, ctx, identity);

        std::int32_t modes[4] = {};
        if ((e = engine_.ProbeSupportedWriteModes(device, ctx, modes)) != 0)
            return fail(Format("Probe supported write modes failed!\n\nDVDVideoBurn:"
                               "ProbeSupportedWriteModes() exception %ld, status %ld, text '%s'",
                               L(e), status(), ctx.text),
                        false);
        if (modes[0] == 0) return fail("Track-At-Once is unsupported!", false);

        if (engine_.TestUnitReady(device, ctx) != 0)
            return fail("No disc in the writer,please check if a disc in the writer.", true);

        DvdTrackInformation track;
        std::memset(&track, 0, sizeof track);
        if ((e = engine_.GetTrackInformation(device, ctx, kDvdLastTrack, track)) != 0)
            return fail(Format("DVDVideoBurn: GetTrackInformation() failed, exception %ld, "
                               "status %ld, text '%s'\n",
                               L(e), status(), ctx.text),
                        false);
        DvdDiscInformation disc;
        std::memset(&disc, 0, sizeof disc);
        if ((e = engine_.GetDiscInformation(device, ctx, disc)) != 0)
            return fail(Format("Get disc information failed! DVDVideoBurn:GetDiscInformation() "
                               "exception %ld, status %ld, text '%s'\n",
                               L(e), status(), ctx.text),
                        true);
        if (!IsWritableDvdType(engine_.GetDiscType(device))) return fail(kNotWritableText, true);
        if (track.value16 != 0) return fail(kNotEmptyText, true);

        std::int32_t bupEnabled = 0, bupSupported = 0;
        if ((e = engine_.GetBUP(device, ctx, bupEnabled, bupSupported)) != 0)
            return fail(Format("Getting buffer underrun protection failed!\n\nDVDVideoBurn:"
                               "GetBUP() exception %ld, status %ld, text '%s'\n",
                               L(e), status(), ctx.text),
                        true);
        if (bupSupported == 1 && (e = engine_.SetBUP(device, ctx, 1)) != 0)
            return fail(Format("Setting buffer underrun protection failed!\n\nDVDVideoBurn:"
                               "SetBUP() exception %ld, status %ld, text '%s'\n",
                               L(e), status(), ctx.text),
                        true);

        engine_.SetSpeeds(device, ctx, kDvdMaxSpeed, kDvdMaxSpeed);
        engine_.PrepareWrite(device, ctx);

        lastPercent_ = 0;
        Post(WM_DVD_BURN_EVENT, kDvdBurnWriting);
        e = engine_.TrackAtOnceFromTree(device, ctx, udf, 1, 0, 1, 1, 5);
        if (e == kDvdAbortException && ctx.status == kDvdStatusPreset) {
            Post(WM_DVD_BURN_EVENT, kDvdBurnFailed);
            return;
        }
        if (e != 0)
            return fail(Format("Writting failed!\n\n DVDVideoBurn:TrackAtOnceFromTree() exception "
                               "%ld, status %ld, text '%s'\n",
                               L(e), status(), ctx.text),
                        true);

        ctx.status = 0;
        engine_.FinishWrite(device, ctx);
        if ((e = engine_.Eject(device, ctx)) != 0)
            Show(Format("Ejecting the disc failed, exception %ld, status %ld, text '%s'\n", L(e),
                        status(), ctx.text));
        Post(WM_DVD_BURN_EVENT, kDvdBurnSucceeded);
    }();

    engine_.ReleaseNodes(fileNodes, kDvdFileNodeSlots);
    engine_.ReleaseNodes(directoryNodes, kDvdDirectoryNodeSlots);
    if (udf) engine_.ReleaseUdf(udf);
    {
        std::lock_guard<std::mutex> guard(abortLock_);
        abortSlot_ = nullptr;
    }
    if (device) engine_.ReleaseDevice(&device);
    engine_.ShutDown();
    return ctx.status;
}
