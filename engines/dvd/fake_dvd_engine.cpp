#include "engines/dvd/fake_dvd_engine.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace engines {

namespace {
void CopyText(char* field, std::size_t size, const std::string& text) {
    if (size == 0) return;
    std::snprintf(field, size, "%s", text.c_str());
}
} // namespace

void FakeDvdEngine::PushWriteStep(const FakeDvdWriteStep& step) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        steps_.push_back(step);
    }
    changed_.notify_all();
}

void FakeDvdEngine::PushProgress(int event, std::uint64_t total, std::uint64_t done) {
    FakeDvdWriteStep s{FakeDvdWriteStep::kProgress};
    s.event = event;
    s.total = total;
    s.done = done;
    PushWriteStep(s);
}

void FakeDvdEngine::PushWriteEnd(std::uint32_t exception) {
    FakeDvdWriteStep s{FakeDvdWriteStep::kReturn};
    s.result.exception = exception;
    if (exception != 0) s.result.status = 0;
    PushWriteStep(s);
}

void FakeDvdEngine::PushAwaitAbort() {
    PushWriteStep({FakeDvdWriteStep::kAwaitAbort});
}

std::vector<std::string> FakeDvdEngine::Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

std::vector<std::string> FakeDvdEngine::FileNodes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return fileNodes_;
}

int FakeDvdEngine::Running() const {
    std::lock_guard<std::mutex> guard(lock_);
    return running_;
}

int FakeDvdEngine::OpenDevices() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(devicesOpen_.size());
}

int FakeDvdEngine::LiveNodes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(nodes_.size() + trees_.size());
}

void FakeDvdEngine::Log(const std::string& call) {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back(call);
}

std::uint32_t FakeDvdEngine::Role(const std::string& role, DvdCallContext* ctx,
                                  const std::string& shown) {
    Log(shown.empty() ? role : shown);
    auto it = failures.find(role);
    if (it == failures.end()) return 0;
    if (ctx) {
        ctx->status = it->second.status;
        CopyText(ctx->text, sizeof ctx->text, it->second.text);
        ctx->exception.code = it->second.exception;
    }
    return it->second.exception;
}

const FakeDvdMedium* FakeDvdEngine::MediumOf(DvdDevice* device) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = devicesOpen_.find(device);
    if (it == devicesOpen_.end() || it->second->device < 0) return nullptr;
    return &devices[static_cast<std::size_t>(it->second->device)].medium;
}

std::uint32_t FakeDvdEngine::UpStart() {
    std::uint32_t r = Role("UpStart", nullptr);
    if (r == 0) {
        std::lock_guard<std::mutex> guard(lock_);
        ++running_;
    }
    return r;
}

void FakeDvdEngine::ShutDown() {
    Log("ShutDown");
    std::lock_guard<std::mutex> guard(lock_);
    --running_;
}

std::uint32_t FakeDvdEngine::FindDevice(int kind, int flags, DvdFindDeviceFn fn, void* context) {
    std::uint32_t r =
        Role("FindDevice", nullptr,
             "FindDevice(" + std::to_string(kind) + "," + std::to_string(flags) + ")");
    if (r != 0) return r;
    for (const FakeDvdDevice& d : devices) {
        fn(kDvdDeviceFoundEvent - 1, d.address, context); // other events are passed over
        fn(kDvdDeviceFoundEvent, d.address, context);
    }
    return 0;
}

void FakeDvdEngine::ReleaseDevice(DvdDevice** device) {
    Log("ReleaseDevice");
    std::lock_guard<std::mutex> guard(lock_);
    if (device && *device) {
        devicesOpen_.erase(*device);
        *device = nullptr;
    }
}

std::uint32_t FakeDvdEngine::GetDeviceNameByDeviceAddress(const DvdDeviceAddress& address,
                                                          char* name, std::size_t size) {
    std::uint32_t r = Role("GetDeviceNameByDeviceAddress", nullptr);
    if (r != 0) return r;
    for (const FakeDvdDevice& d : devices) {
        if (d.address == address) {
            CopyText(name, size, d.name);
            return 0;
        }
    }
    return 2;
}

std::uint32_t FakeDvdEngine::Create(DvdDevice** device, DvdCallContext& ctx, DvdProgressFn fn,
                                    void* fnContext, const DvdDeviceAddress& address, int flags) {
    std::uint32_t r = Role("Create", &ctx, "Create(" + std::to_string(flags) + ")");
    if (r != 0) return r;
    auto handle = std::make_unique<Handle>();
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (devices[i].address == address) handle->device = static_cast<int>(i);
    if (handle->device < 0) {
        ctx.status = 2;
        CopyText(ctx.text, sizeof ctx.text, "no such device");
        return 3;
    }
    std::lock_guard<std::mutex> guard(lock_);
    progress_ = fn;
    progressContext_ = fnContext;
    *device = reinterpret_cast<DvdDevice*>(handle.get());
    devicesOpen_[handle.get()] = std::move(handle);
    return 0;
}

std::uint32_t FakeDvdEngine::GetDeviceInformation(DvdDevice* device, DvdCallContext& ctx,
                                                  DvdIdentity& identity) {
    std::uint32_t r = Role("GetDeviceInformation", &ctx);
    if (r != 0) return r;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = devicesOpen_.find(device);
    if (it == devicesOpen_.end()) return 3;
    const FakeDvdDevice& d = devices[static_cast<std::size_t>(it->second->device)];
    CopyText(identity.vendor, sizeof identity.vendor, d.vendor);
    CopyText(identity.product, sizeof identity.product, d.product);
    CopyText(identity.revision, sizeof identity.revision, "1.00");
    return 0;
}

std::uint32_t FakeDvdEngine::GetCapabilities(DvdDevice*, DvdCallContext& ctx,
                                             std::int32_t (&flags)[10]) {
    for (std::int32_t& f : flags)
        f = 1;
    return Role("GetCapabilities", &ctx);
}

std::uint32_t FakeDvdEngine::GetExCapabilities(DvdDevice* device, DvdCallContext& ctx,
                                               std::int32_t (&flags)[6]) {
    std::uint32_t r = Role("GetExCapabilities", &ctx);
    if (r != 0) return r;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = devicesOpen_.find(device);
    if (it == devicesOpen_.end()) return 3;
    for (std::int32_t& f : flags)
        f = 1;
    flags[2] = devices[static_cast<std::size_t>(it->second->device)].writesDvd ? 1 : 0;
    return 0;
}

std::uint32_t FakeDvdEngine::TestUnitReady(DvdDevice* device, DvdCallContext& ctx) {
    std::uint32_t r = Role("TestUnitReady", &ctx);
    if (r != 0) return r;
    const FakeDvdMedium* m = MediumOf(device);
    if (!m || !m->present) {
        ctx.status = 2;
        CopyText(ctx.text, sizeof ctx.text, "Medium not present");
        return 5;
    }
    return 0;
}

std::uint32_t FakeDvdEngine::GetBUP(DvdDevice*, DvdCallContext& ctx, std::int32_t& enabled,
                                    std::int32_t& supported) {
    enabled = 0;
    supported = bupSupported;
    return Role("GetBUP", &ctx);
}

std::uint32_t FakeDvdEngine::SetBUP(DvdDevice*, DvdCallContext& ctx, std::int32_t on) {
    return Role("SetBUP", &ctx, "SetBUP(" + std::to_string(on) + ")");
}

std::uint32_t FakeDvdEngine::GetSpeeds(DvdDevice*, DvdCallContext& ctx, std::int32_t (&speeds)[4]) {
    for (std::int32_t& s : speeds)
        s = 1385;
    return Role("GetSpeeds", &ctx);
}

std::uint32_t FakeDvdEngine::SetSpeeds(DvdDevice*, DvdCallContext& ctx, std::uint32_t read,
                                       std::uint32_t write) {
    return Role("SetSpeeds", &ctx,
                "SetSpeeds(" + std::to_string(read) + "," + std::to_string(write) + ")");
}

std::uint32_t FakeDvdEngine::PrepareWrite(DvdDevice*, DvdCallContext& ctx) {
    return Role("PrepareWrite", &ctx);
}

std::uint32_t FakeDvdEngine::TrackAtOnceFromTree(DvdDevice*, DvdCallContext& ctx, DvdUdfTree*,
                                                 int a, int b, int c, int d, int e) {
    char shown[64];
    std::snprintf(shown, sizeof shown, "TrackAtOnceFromTree(%d,%d,%d,%d,%d)", a, b, c, d, e);
    if (std::uint32_t r = Role("TrackAtOnceFromTree", &ctx, shown)) return r;
    for (;;) {
        FakeDvdWriteStep step{FakeDvdWriteStep::kReturn};
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [&] { return !steps_.empty(); });
            step = steps_.front();
            steps_.pop_front();
        }
        switch (step.kind) {
        case FakeDvdWriteStep::kProgress:
            if (progress_) progress_(step.event, progressContext_, step.total, step.done);
            break;
        case FakeDvdWriteStep::kAwaitAbort: {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [&] { return abortRequested_; });
            abortRequested_ = false;
            return kDvdAbortException; // the status stays as the caller preset it
        }
        case FakeDvdWriteStep::kReturn:
            if (step.result.exception != 0) {
                ctx.status = step.result.status;
                CopyText(ctx.text, sizeof ctx.text, step.result.text);
            }
            return step.result.exception;
        }
    }
}

std::uint32_t FakeDvdEngine::FinishWrite(DvdDevice*, DvdCallContext& ctx) {
    return Role("FinishWrite", &ctx);
}

std::uint32_t FakeDvdEngine::Eject(DvdDevice*, DvdCallContext& ctx) {
    return Role("Eject", &ctx);
}

std::uint32_t FakeDvdEngine::Erase(DvdDevice*, DvdCallContext& ctx, int mode) {
    return Role("Erase", &ctx, "Erase(" + std::to_string(mode) + ")");
}

std::uint32_t FakeDvdEngine::GetTrackInformation(DvdDevice* device, DvdCallContext& ctx, int track,
                                                 DvdTrackInformation& info) {
    std::uint32_t r =
        Role("GetTrackInformation", &ctx, "GetTrackInformation(" + std::to_string(track) + ")");
    if (r != 0) return r;
    const FakeDvdMedium* m = MediumOf(device);
    if (!m || !m->present) return 5;
    std::memset(&info, 0, sizeof info);
    info.value16 = m->trackValue16;
    return 0;
}

std::uint32_t FakeDvdEngine::GetDiscInformation(DvdDevice* device, DvdCallContext& ctx,
                                                DvdDiscInformation& info) {
    std::uint32_t r = Role("GetDiscInformation", &ctx);
    if (r != 0) return r;
    const FakeDvdMedium* m = MediumOf(device);
    if (!m || !m->present) return 5;
    std::memset(&info, 0, sizeof info);
    info.erasable = m->erasable;
    return 0;
}

std::uint32_t FakeDvdEngine::ProbeSupportedWriteModes(DvdDevice*, DvdCallContext& ctx,
                                                      std::int32_t (&modes)[4]) {
    for (std::int32_t& m : modes)
        m = 0;
    modes[0] = taoSupported;
    return Role("ProbeSupportedWriteModes", &ctx);
}

std::int32_t FakeDvdEngine::GetDiscType(DvdDevice* device) {
    Log("GetDiscType");
    const FakeDvdMedium* m = MediumOf(device);
    return m ? m->discType : 0;
}

std::uint32_t FakeDvdEngine::Abort(DvdDevice* device) {
    std::uint32_t r = Role("Abort", nullptr);
    if (r != 0) return r;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (devicesOpen_.find(device) == devicesOpen_.end()) return 3;
        abortRequested_ = true;
    }
    changed_.notify_all();
    return 0;
}

std::uint32_t FakeDvdEngine::BuildUdf(DvdTreeNode* root, DvdTreeNode* videoTs, DvdTreeNode* audioTs,
                                      const char* label, DvdUdfTree** tree, DvdCallContext& ctx) {
    std::uint32_t r = Role("BuildUdf", &ctx);
    if (r != 0) return r;
    std::lock_guard<std::mutex> guard(lock_);
    if (!nodes_.count(root) || !nodes_.count(videoTs) || !nodes_.count(audioTs)) return 3;
    udfLabel = label ? label : "";
    auto handle = std::make_unique<Handle>();
    *tree = reinterpret_cast<DvdUdfTree*>(handle.get());
    trees_[handle.get()] = std::move(handle);
    return 0;
}

void FakeDvdEngine::ReleaseUdf(DvdUdfTree* tree) {
    Log("ReleaseUdf");
    std::lock_guard<std::mutex> guard(lock_);
    trees_.erase(tree);
}

std::uint32_t FakeDvdEngine::AddFileNode(const char* path, int id, DvdTreeNode* parent,
                                         DvdTreeNode** node) {
    std::string p = path ? path : "";
    Log("AddFileNode(" + std::to_string(id) + ")");
    if (refusedFiles.count(p) || !std::ifstream(p, std::ios::binary)) return 4;
    std::lock_guard<std::mutex> guard(lock_);
    if (parent && !nodes_.count(parent)) return 3;
    auto handle = std::make_unique<Handle>();
    handle->name = p;
    *node = reinterpret_cast<DvdTreeNode*>(handle.get());
    nodes_[handle.get()] = std::move(handle);
    fileNodes_.push_back(p);
    return 0;
}

std::uint32_t FakeDvdEngine::AddDirectoryNode(const char* name, int id, DvdTreeNode* parent,
                                              DvdTreeNode** node) {
    Log("AddDirectoryNode(" + std::string(name ? name : "") + "," + std::to_string(id) + ")");
    std::lock_guard<std::mutex> guard(lock_);
    if (parent && !nodes_.count(parent)) return 3;
    auto handle = std::make_unique<Handle>();
    handle->name = name ? name : "";
    *node = reinterpret_cast<DvdTreeNode*>(handle.get());
    nodes_[handle.get()] = std::move(handle);
    return 0;
}

void FakeDvdEngine::ReleaseNodes(DvdTreeNode** nodes, int count) {
    Log("ReleaseNodes(" + std::to_string(count) + ")");
    std::lock_guard<std::mutex> guard(lock_);
    for (int i = 0; i < count; ++i) {
        if (nodes[i]) nodes_.erase(nodes[i]);
        nodes[i] = nullptr;
    }
}

} // namespace engines
