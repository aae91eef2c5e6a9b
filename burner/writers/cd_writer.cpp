#include "burner/writers/cd_writer.h"

#include <cstdio>
#include <cstring>

using namespace engines;

const char kCdNoBlankDiscMessage[] = "Please insert a blank writable disc into the driver.";
const char kCdNoBlankDiscLog[] = "No blank CD Disc in writer.";
const char kWriterBoxCaption[] = "Vandrel";

namespace {

CdWriterHost* HostOf(void* user) {
    return static_cast<CdWriterHost*>(user);
}

void OnProcessEvent(float percent, int, int, int, int, int, int, void* user) {
    HostOf(user)->OnCdProcess(percent);
}
void OnFinalizeEvent(void* user) {
    HostOf(user)->OnCdFinalize();
}
void OnBurnDoneEvent(const char* errorText, void* user) {
    HostOf(user)->OnCdBurnDone(errorText);
}
void OnEraseDoneEvent(int, void* user) {
    HostOf(user)->OnCdEraseDone();
}

} // namespace

CdWriter::CdWriter(CdEngine& engine, platform::MessageBoxes& messages, CdWriterHost& host)
    : engine_(engine), messages_(messages), host_(host) {}

void CdWriter::ShowEngineError(std::int32_t code) {
    if (code == 0) return;
    char text[2048] = {};
    std::int32_t size = sizeof text;
    engine_.GetText(code, text, size);
    text[sizeof text - 1] = '\0';
    char shown[2048 + 16];
    std::snprintf(shown, sizeof shown, "error: %s", text);
    messages_.Show(shown, kWriterBoxCaption, platform::MB_OK);
}

void CdWriter::FillCdWriterList(WriterCombo& list) {
    ShowEngineError(engine_.CreateProject(kCdProjectBurnImage));

    void* user = &host_;
    engine_.SetFinalizeEventCallback(OnFinalizeEvent, user);
    engine_.SetBurnDoneEventCallback(OnBurnDoneEvent, user);
    engine_.SetProcessEventCallback(OnProcessEvent, user);
    engine_.SetEraseDoneEventCallback(OnEraseDoneEvent, user);

    CdDeviceList devices;
    std::memset(devices, 0, sizeof devices);
    std::int32_t count = 0;
    ShowEngineError(engine_.GetDevices(devices, count, 0));
    if (count < 0) count = 0;
    if (count > kCdDeviceSlots) count = kCdDeviceSlots;

    for (std::int32_t i = 0; i < count; ++i) {
        devices[i][kCdDeviceTextSize - 1] = '\0';
        const char* text = devices[i];
        ShowEngineError(engine_.SetDevice(text[0]));
        std::uint32_t mask = 0;
        ShowEngineError(engine_.GetDeviceCapabilities(mask));
        if ((mask & kCdWriterCapabilities) == 0) continue;

        int row = list.AddString(text);
        CdMediumInfo info = PresetCdMediumInfo();
        std::int32_t r = engine_.GetMediumInformation(info);
        if (r == kCdNoDisc) continue;
        if (r != 0) {
            ShowEngineError(r);
            continue;
        }
        info.typeName[sizeof info.typeName - 1] = '\0';
        if (std::strstr(info.typeName, "CD-R")) list.SetCurSel(row);
    }
    if (list.GetCount() > 0 && list.GetCurSel() < 0) list.SetCurSel(list.GetCount() - 1);
}

std::int32_t CdWriter::SelectCdWriter(char driveLetter) {
    return engine_.SetDevice(driveLetter);
}

std::int32_t CdWriter::GetCdMedium(CdMediumInfo& info) {
    info = PresetCdMediumInfo();
    return engine_.GetMediumInformation(info);
}

int CdWriter::EraseCd() {
    CdBurnOptions options = PresetCdBurnOptions();
    if (std::int32_t r = engine_.GetOptions(options)) {
        ShowEngineError(r);
        return -1;
    }
    options.value405 = 0;
    if (std::int32_t r = engine_.SetOptions(options)) {
        ShowEngineError(r);
        return -1;
    }
    if (std::int32_t r = engine_.Erase(1)) {
        ShowEngineError(r);
        return -1;
    }
    host_.SetStateValue(1);
    return 0;
}

int CdWriter::BurnCdImage(const std::string& cuePath, const std::string& label) {
    CdFileRecord record = MakeCdBurnRecord(cuePath);

    CdBurnOptions options = PresetCdBurnOptions();
    if (std::int32_t r = engine_.GetOptions(options)) {
        ShowEngineError(r);
        return -1;
    }
    CopyCdText(options.label, sizeof options.label, label);
    options.value405 = 1;
    options.value400 = 8388608;
    if (std::int32_t r = engine_.SetOptions(options)) {
        ShowEngineError(r);
        return -1;
    }

    if (std::int32_t r = engine_.ClearAll()) {
        ShowEngineError(r);
        return -1;
    }
    if (std::int32_t r = engine_.AddFile(record)) {
        ShowEngineError(r);
        return -1;
    }
    if (std::int32_t r = engine_.Prepare()) {
        ShowEngineError(r);
        return -1;
    }

    std::int32_t r = engine_.Burn();
    if (r == kCdNoBlankDiscA || r == kCdNoBlankDiscB || r == kCdNoDisc) {
        messages_.Show(kCdNoBlankDiscMessage, kWriterBoxCaption, platform::MB_OK);
        host_.LogLine(kCdNoBlankDiscLog);
        engine_.EjectDevice();
        return -1;
    }
    if (r != 0) {
        ShowEngineError(r);
        return -1;
    }
    host_.MarkBurned();
    return 0;
}

std::int32_t CdWriter::AbortCd() {
    return engine_.Abort();
}

void CdWriter::EjectCd() {
    engine_.EjectDevice();
}
