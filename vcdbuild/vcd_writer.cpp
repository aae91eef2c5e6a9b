// Writes a laid-out image in one pass: the cue point list to the layout sink, then every sector
// in order (track 1 with the system files, segments, EXT and custom files, the sequence tracks
// and the lead-out pause) to the sector sink.
#include "vcd_project.h"

#include "cdrdao_sink.h"
#include "iso9660_structs.h"
#include "pbc.h"
#include "sector_encoder.h"
#include "vcd_info_files.h"

#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t kSectorBytes = 2048;

const std::uint8_t kZeroSector[kForm2DataSize] = {};

// Outcome of a part of the image.
enum WriteResult { WRITE_OK = 0, WRITE_FAILED, WRITE_CANCELLED };

// Keeps the project's image name in step with the file a TOC sink is writing.
class ImageNameFollower : public VcdImageNameListener {
  public:
    explicit ImageNameFollower(CVcdObj& project) : project_(project) {}
    void OnImageName(const std::string& name) override { project_.imageName = name; }

  private:
    CVcdObj& project_;
};

// Attaches the follower to a TOC sector sink for the length of one write.
class FollowerLink {
  public:
    FollowerLink(CVcdImage* sink, CVcdObj& project) : follower_(project) {
        sink_ = dynamic_cast<CVcdCdrDao*>(sink);
        if (sink_) sink_->SetArg("obj", &follower_);
    }
    ~FollowerLink() {
        if (sink_) sink_->SetArg("obj", static_cast<VcdImageNameListener*>(nullptr));
    }
    FollowerLink(const FollowerLink&) = delete;
    FollowerLink& operator=(const FollowerLink&) = delete;

  private:
    ImageNameFollower follower_;
    CVcdCdrDao* sink_ = nullptr;
};

// Closes a sink the writer is done with; false when its file could not be flushed or closed.
bool CloseSink(CVcdImage* sink) {
    int closed = sink->Close();
    sink->Release(0);
    return closed == 0;
}

// Every sector of the image goes through here, so a cancel stops before the next one.
class SectorCursor {
  public:
    explicit SectorCursor(CVcdObj& project) : p_(project) {}

    WriteResult Put(const std::uint8_t* data, std::uint8_t fileNumber, std::uint8_t channel,
                    std::uint8_t submode, std::uint8_t coding) {
        return PutAt(lsn_++, data, fileNumber, channel, submode, coding);
    }
    WriteResult PutAt(std::uint32_t lsn, const std::uint8_t* data, std::uint8_t fileNumber,
                      std::uint8_t channel, std::uint8_t submode, std::uint8_t coding) {
        if (p_.log.Cancelled()) return WRITE_CANCELLED;
        return p_.WriteSector(data, lsn, fileNumber, channel, submode, coding) == 0 ? WRITE_OK
                                                                                    : WRITE_FAILED;
    }
    WriteResult PutRawAt(std::uint32_t lsn, const std::uint8_t* data2336) {
        if (p_.log.Cancelled()) return WRITE_CANCELLED;
        return p_.WriteRawSector(data2336, lsn) == 0 ? WRITE_OK : WRITE_FAILED;
    }
    WriteResult Empty(std::uint32_t count, std::uint8_t fileNumber, std::uint8_t submode) {
        for (std::uint32_t i = 0; i < count; ++i)
            if (WriteResult r = Put(kZeroSector, fileNumber, 0, submode, 0); r != WRITE_OK)
                return r;
        return WRITE_OK;
    }

    std::uint32_t lsn() const { return lsn_; }
    void Skip(std::uint32_t lsn) { lsn_ = lsn; }

  private:
    CVcdObj& p_;
    std::uint32_t lsn_ = 0;
};

// Uses every pause not yet used whose time has been reached by the pack's PTS; true when any
// was, so that the pack carries the trigger bit.
bool TakePauses(CVcdObj& p, const CVcdList<CVcdPause>& pauses, std::size_t& next,
                const MpegPacketInfo& pack, int where) {
    if (!pack.hasPts) return false;
    bool used = false;
    for (; next < pauses.Size() && pauses.At(next)->time <= pack.pts; ++next) {
        p.log.Debug("setting auto pause trigger for time %f (pts %f) @%d", pauses.At(next)->time,
                    pack.pts, where);
        used = true;
    }
    return used;
}

bool HasSequenceEnd(const std::uint8_t* pack) {
    static constexpr std::uint8_t kSeqEnd[4] = {0x00, 0x00, 0x01, 0xB7};
    for (std::size_t i = 0; i < 2321; ++i)
        if (std::memcmp(pack + i, kSeqEnd, sizeof kSeqEnd) == 0) return true;
    return false;
}

CVcdDict* Entry(CVcdObj& p, const char* key) {
    return p.dict.Find(key);
}

// Fills the dictionary buffers of the system files. False when the directory could not be
// dumped.
bool RenderSystemFiles(CVcdObj& p) {
    CVcdDict* dir = Entry(p, "dir");
    CVcdDict* ptl = Entry(p, "ptl");
    CVcdDict* ptm = Entry(p, "ptm");
    CVcdDict* pvd = Entry(p, "pvd");
    CVcdDict* evd = Entry(p, "evd");
    CVcdDict* info = Entry(p, "info");
    CVcdDict* entries = Entry(p, "entries");
    if (!dir || !ptl || !ptm || !pvd || !evd || !info || !entries || !p.isoDir) {
        p.log.Error("internal error: the image has not been laid out");
        return false;
    }
    if (p.isoDir->DumpDirectory(dir->buffer.data(), dir->buffer.size(),
                                static_cast<std::uint32_t>(dir->sector)) != 0 ||
        p.isoDir->DumpPathTables(ptl->buffer.data(), ptm->buffer.data()) != 0)
        return false;
    // The root's own "." record opens the directory area.
    SetPvd(p.log, pvd->buffer.data(), p.volumeLabel.c_str(), p.publisherId.c_str(),
           p.applicationId.c_str(), p.isoSize, dir->buffer.data(),
           static_cast<std::uint32_t>(ptl->sector), static_cast<std::uint32_t>(ptm->sector),
           PathTableSize(ptl->buffer.data()));
    SetTerminator(evd->buffer.data());
    SetInfo(p, info->buffer.data());
    SetEntries(p, entries->buffer.data());

    // The layout reserved the LOT only when playback control is in use.
    CVcdDict* lot = Entry(p, "lot");
    CVcdDict* psd = Entry(p, "psd");
    if (lot && psd) {
        if (p.HasCap(VCD_CAP_EXT_PBC)) {
            CVcdDict* lotX = Entry(p, "lot_x");
            CVcdDict* psdX = Entry(p, "psd_x");
            if (lotX && psdX) {
                WriteLot(p, lotX->buffer.data(), true);
                WritePsd(p, psdX->buffer.data(), true);
            }
        }
        CheckReachability(p);
        WriteLot(p, lot->buffer.data(), false);
        WritePsd(p, psd->buffer.data(), false);
    }
    if (p.HasCap(VCD_CAP_SVCD_FILES)) {
        CVcdDict* tracks = Entry(p, "tracks");
        CVcdDict* search = Entry(p, "search");
        CVcdDict* scandata = Entry(p, "scandata");
        if (!tracks || !search || !scandata) {
            p.log.Error("internal error: the image has not been laid out");
            return false;
        }
        SetTracksSvd(p, tracks->buffer.data());
        SetSearchDat(p, search->buffer.data());
        SetScandataDat(p, scandata->buffer.data());
    }
    return true;
}

WriteResult WriteSegment(CVcdObj& p, SectorCursor& out, CMpegSegment& segment) {
    CVcdMpegSource& source = *segment.source;
    const std::uint32_t packs = segment.info().packets;
    const std::uint32_t sectors = segment.segmentCount * 150;
    const bool svcd = p.HasCap(VCD_CAP_SVCD_FILES);
    std::uint8_t pack[kMpegPackSize];
    std::size_t nextPause = 0;
    WriteResult result = WRITE_OK;

    for (std::uint32_t n = 0; n < sectors && result == WRITE_OK; ++n) {
        if (n >= packs) {
            result = out.Put(kZeroSector, 0, 0, SM_FORM2, 0);
            continue;
        }
        MpegPacketInfo info;
        if (source.GetPacket(n, pack, &info, p.updateScanOffsets) != 0) {
            result = WRITE_FAILED;
            break;
        }
        std::uint8_t submode = 0x60, channel = 0, coding = 0;
        const bool still = info.video[1] || info.video[2];
        switch (GetPacketType(info)) {
        case MPEG_PACKET_VIDEO:
            submode = 0x62;
            if (info.video[1]) {
                channel = 2;
                coding = 0x1f;
            } else if (info.video[2]) {
                channel = 3;
                coding = 0x3f;
            } else {
                channel = 1;
                coding = 0x0f;
            }
            break;
        case MPEG_PACKET_AUDIO:
            submode = 0x64;
            channel = 1;
            coding = 0x7f;
            break;
        case MPEG_PACKET_EMPTY:
            coding = 0x1f;
            break;
        default:
            break;
        }
        if (svcd) {
            submode = 0x62;
            channel = 1;
            coding = 0x80;
        }
        if (n + 1 == packs) submode |= SM_EOF;
        if (TakePauses(p, segment.pauses, nextPause, info, static_cast<int>(out.lsn())))
            submode |= SM_TRIGGER;
        if (still && HasSequenceEnd(pack)) {
            p.log.Debug("setting EOR for SeqEnd at packet# %d ('%s')", static_cast<int>(n),
                        segment.id.c_str());
            submode |= SM_EOR;
        }
        result = out.Put(pack, 1, channel, submode, coding);
    }
    source.Close();
    return result;
}

WriteResult WriteCustomFile(CVcdObj& p, SectorCursor& out, CCustomFile& file) {
    p.log.Info("writing file `%s' (%d bytes%s)", file.path.c_str(), static_cast<int>(file.size),
               file.raw ? ", raw file" : "");
    if (!file.stream) return file.sectors == 0 ? WRITE_OK : WRITE_FAILED;
    CVcdStream& stream = *file.stream;
    WriteResult result = WRITE_OK;
    std::uint8_t block[kMode2SectorSize];
    std::int64_t left = file.size;
    for (std::uint32_t k = 0; k < file.sectors && result == WRITE_OK; ++k) {
        const std::uint32_t lsn = file.startSector + k;
        if (file.raw) {
            if (stream.Read(block, kMode2SectorSize) !=
                static_cast<std::int64_t>(kMode2SectorSize)) {
                result = WRITE_FAILED;
                break;
            }
            result = out.PutRawAt(lsn, block);
            continue;
        }
        const std::int64_t chunk = std::min<std::int64_t>(left, kSectorBytes);
        std::memset(block, 0, kSectorBytes);
        if (chunk <= 0 || stream.Read(block, chunk) != chunk) {
            result = WRITE_FAILED;
            break;
        }
        left -= chunk;
        const bool last = k + 1 == file.sectors;
        result = out.PutAt(lsn, block, 1, 0, last ? 0x88 : SM_DATA, 0);
    }
    stream.Close();
    return result;
}

WriteResult WriteTrack1(CVcdObj& p, SectorCursor& out) {
    if (!RenderSystemFiles(p)) return WRITE_FAILED;
    p.log.Info("writing track 1 (ISO9660)...");

    for (std::uint32_t lsn = 0; lsn < p.isoHeadSize; ++lsn) {
        const std::uint8_t* data = p.dict.SectorBuffer(lsn);
        std::uint8_t submode = static_cast<std::uint8_t>(SM_DATA | p.dict.SectorFlags(lsn));
        if (WriteResult r = out.Put(data ? data : kZeroSector, 0, 0, submode, 0); r != WRITE_OK)
            return r;
    }
    for (const auto& segment : p.segments)
        if (WriteResult r = WriteSegment(p, out, *segment); r != WRITE_OK) return r;

    const std::uint8_t extFile = p.HasCap(VCD_CAP_SVCD_FILES) ? 0 : 1;
    while (out.lsn() < p.customStart) {
        const std::uint32_t lsn = out.lsn();
        const std::uint8_t* data = p.dict.SectorBuffer(lsn);
        if (!data) {
            p.log.Debug("unexpected empty EXT sector");
            data = kZeroSector;
        }
        std::uint8_t submode = static_cast<std::uint8_t>(SM_DATA | p.dict.SectorFlags(lsn));
        if (WriteResult r = out.Put(data, extFile, 0, submode, 0); r != WRITE_OK) return r;
    }
    for (const auto& file : p.customFiles)
        if (WriteResult r = WriteCustomFile(p, out, *file); r != WRITE_OK) return r;

    for (std::uint32_t lsn = 0; lsn < p.isoSize; ++lsn) {
        if (p.isoBitmap->IsUsed(lsn)) continue;
        p.isoBitmap->Allocate(static_cast<std::int32_t>(lsn), 1);
        if (WriteResult r = out.PutAt(lsn, kZeroSector, 0, 0, SM_DATA, 0); r != WRITE_OK) return r;
    }
    out.Skip(p.isoSize);
    return WRITE_OK;
}

std::string VideoText(const MpegVideoInfo& video) {
    return GetNormName(video);
}

std::string AudioText(const MpegStreamInfo& info) {
    std::string text;
    for (int i = 0; i < kMpegAudioStreams; ++i) {
        const MpegAudioInfo& a = info.audio[i];
        if (!a.seen) continue;
        char part[96];
        std::snprintf(part, sizeof part, "audio[%d]: l%d/%2.1fkHz/%dkbps/%s ", i,
                      static_cast<int>(a.layer), a.samplingRate / 1000.0,
                      static_cast<int>(a.bitRate / 1024), GetAudioModeName(a.mode));
        text += part;
    }
    return text;
}

// `index` counts from 0; the track number is index + 2.
WriteResult WriteSequenceTrack(CVcdObj& p, SectorCursor& out, CMpegSequence& sequence,
                               std::uint32_t index) {
    const MpegStreamInfo& info = sequence.info();
    p.log.Info("writing track %d, %s, %s, %s...", static_cast<int>(index + 2),
               info.version == MPEG_VERSION_1 ? "MPEG1" : "MPEG2", VideoText(info.video[0]).c_str(),
               AudioText(info).c_str());

    const auto trackFile = static_cast<std::uint8_t>((index + 1) & 0xff);
    if (WriteResult r = out.Empty(p.trackPregap, 0, SM_FORM2); r != WRITE_OK) return r;
    if (WriteResult r = out.Empty(p.trackFrontMargin, trackFile, 0x60); r != WRITE_OK) return r;

    const bool svcdFiles = p.HasCap(VCD_CAP_SVCD_FILES) && !p.vcd30MpegAvFolder;
    const std::uint8_t packFile = svcdFiles ? 1 : trackFile;
    CVcdMpegSource& source = *sequence.source;
    std::uint8_t pack[kMpegPackSize];
    std::size_t nextPause = 0;
    int video = 0, audio = 0, zero = 0, ogt = 0, unknown = 0;
    WriteResult result = WRITE_OK;

    for (std::uint32_t n = 0; n < info.packets && result == WRITE_OK; ++n) {
        MpegPacketInfo packInfo;
        if (source.GetPacket(n, pack, &packInfo, p.updateScanOffsets) != 0) {
            result = WRITE_FAILED;
            break;
        }
        bool trigger = TakePauses(p, sequence.pauses, nextPause, packInfo, static_cast<int>(n));
        std::uint8_t submode = 0x60, channel = 0, coding = 0;
        switch (GetPacketType(packInfo)) {
        case MPEG_PACKET_VIDEO:
            submode = 0x62;
            channel = 1;
            coding = 0x0f;
            ++video;
            break;
        case MPEG_PACKET_AUDIO:
            submode = 0x64;
            channel = packInfo.audio[1] || packInfo.audio[2] ? 2 : 1;
            coding = 0x7f;
            ++audio;
            break;
        case MPEG_PACKET_OGT:
            submode = 0x62;
            channel = 2;
            coding = 0x0f;
            ++ogt;
            break;
        case MPEG_PACKET_ZERO:
            ++zero;
            break;
        case MPEG_PACKET_EMPTY:
            ++unknown;
            break;
        default:
            source.Close();
            p.log.Error("invalid mpeg packet found at packet# %d -- please fix this mpeg file!",
                        static_cast<int>(n));
            return WRITE_FAILED;
        }
        if (trigger) submode |= SM_TRIGGER;
        if (n + 1 == info.packets) submode |= SM_EOF | SM_EOR;
        if (svcdFiles) coding = 0x80;
        result = out.Put(pack, packFile, channel, submode, coding);
    }
    source.Close();
    if (result != WRITE_OK) return result;

    if (WriteResult r = out.Empty(p.trackRearMargin, trackFile, 0x60); r != WRITE_OK) return r;
    p.log.Debug("MPEG packet statistics: %d video, %d audio, %d zero, %d ogt, %d unknown", video,
                audio, zero, ogt, unknown);
    return WRITE_OK;
}

} // namespace

int CVcdObj::WriteSector(const std::uint8_t* data, std::uint32_t lsn, std::uint8_t fileNumber,
                         std::uint8_t channel, std::uint8_t submode, std::uint8_t coding) {
    if (!sinks || !sinks->sinkB || !data) return 1;
    std::uint8_t raw[kRawSectorSize];
    MakeMode2Sector(raw, data, lsn, fileNumber, channel, submode, coding);
    if (sinks->sinkB->PutSector(raw, static_cast<std::int32_t>(lsn)) != 0) return 1;
    ++sectorsWritten;
    ReportWrite(false);
    return 0;
}

int CVcdObj::WriteRawSector(const std::uint8_t* data2336, std::uint32_t lsn) {
    if (!sinks || !sinks->sinkB || !data2336) return 1;
    std::uint8_t raw[kRawSectorSize];
    MakeRawMode2Sector(raw, data2336, lsn);
    if (sinks->sinkB->PutSector(raw, static_cast<std::int32_t>(lsn)) != 0) return 1;
    ++sectorsWritten;
    ReportWrite(false);
    return 0;
}

void CVcdObj::ReportWrite(bool force) {
    if (!force && sectorsWritten - lastProgress < 75) return;
    VcdWriteProgress report;
    report.imageName = imageName.c_str();
    report.written = static_cast<std::int32_t>(sectorsWritten);
    report.total = static_cast<std::int32_t>(sequenceSectors + isoSize);
    report.track = static_cast<std::int32_t>(currentTrack);
    report.tracks = static_cast<std::int32_t>(sequences.Size() + 1);
    log.OnWriteProgress(&report);
    lastProgress = sectorsWritten;
}

int CVcdObj::WriteImage(VcdSinks& pair, const char* name) {
    if (pair.sinkA) {
        VcdCueList points;
        points.push_back({0, VCD_CUE_TRACK});
        for (const auto& sequence : sequences) {
            const auto start = static_cast<std::int32_t>(isoSize + sequence->relStart);
            points.push_back({start - static_cast<std::int32_t>(trackPregap), VCD_CUE_PREGAP});
            points.push_back({start, VCD_CUE_TRACK});
            for (const auto& entry : sequence->entries)
                points.push_back(
                    {start + static_cast<std::int32_t>(trackFrontMargin + entry->packetNo),
                     VCD_CUE_ENTRY});
        }
        points.push_back({static_cast<std::int32_t>(isoSize + sequenceSectors +
                                                    (leadoutPause ? trackPregap : 0)),
                          VCD_CUE_END});
        int cue = pair.sinkA->SetCueSheet(pair.sinkB, points);
        bool closed = true;
        if (pair.sinkA != pair.sinkB) closed = CloseSink(pair.sinkA);
        pair.sinkA = nullptr;
        if (cue != 0 || !closed) return 1;
    }
    if (!pair.sinkB) return 1;

    sinks = &pair;
    imageName = name ? name : "";
    FollowerLink follower(pair.sinkB, *this);
    SectorCursor out(*this);

    ReportWrite(true);
    if (WriteTrack1(*this, out) != WRITE_OK) return 1;
    if (updateScanOffsets)
        log.Info("'update scan offsets' option enabled for the following tracks!");

    std::uint32_t index = 0;
    for (const auto& sequence : sequences) {
        ++currentTrack;
        ReportWrite(true);
        if (WriteSequenceTrack(*this, out, *sequence, index++) != WRITE_OK) return 1;
    }

    if (leadoutPause) {
        log.Debug("writting leadout pause...");
        WriteResult r = out.Empty(trackPregap, 0, SM_FORM2);
        if (r == WRITE_CANCELLED) return 2;
        if (r != WRITE_OK) return 1;
    }

    ReportWrite(true);
    bool closed = CloseSink(pair.sinkB);
    pair.sinkB = nullptr;
    return closed ? 0 : 1;
}
