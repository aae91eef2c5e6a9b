#include "engines/cd/cd_engine.h"

#include <cstring>

namespace engines {

void CopyCdText(char* field, std::size_t size, const std::string& text) {
    if (size == 0) return;
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

CdMediumInfo PresetCdMediumInfo() {
    CdMediumInfo info;
    std::memset(&info, 0, sizeof info);
    CopyCdText(info.typeName, sizeof info.typeName, "BS_NDEF");
    info.status = -1;
    info.value32 = info.value40 = info.value48 = -1.0;
    info.value56 = info.value60 = info.value64 = -1;
    info.value68 = -1;
    return info;
}

CdBurnOptions PresetCdBurnOptions() {
    CdBurnOptions o;
    std::memset(&o, 0, sizeof o); // the bytes the burner leaves unset stay zero
    CopyCdText(o.label, sizeof o.label, "BS_NDEF");
    o.value128 = -1;
    o.value132 = o.value133 = -1;
    CopyCdText(o.text134, sizeof o.text134, "BS_NDEF");
    o.value394 = o.value395 = o.value396 = o.value397 = -1;
    o.value400 = -1;
    o.value404 = o.value405 = -1;
    o.value408 = -1;
    return o;
}

namespace {
CdFileRecord MakeRecord(const std::string& path, std::uint8_t flag, std::int32_t value) {
    CdFileRecord r;
    std::memset(&r, 0, sizeof r);
    CopyCdText(r.sourcePath, sizeof r.sourcePath, path);
    CopyCdText(r.targetFolder, sizeof r.targetFolder, "\\");
    r.flag = flag;
    r.value = value;
    return r;
}
} // namespace

CdFileRecord MakeCdScanRecord(const std::string& mpegPath) {
    return MakeRecord(mpegPath, 1, 0);
}
CdFileRecord MakeCdBurnRecord(const std::string& cuePath) {
    return MakeRecord(cuePath, 0, 2);
}

} // namespace engines
