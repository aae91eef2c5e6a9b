#include "burn_settings.h"

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/program_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

BurnSettings g_settings;

namespace {

const char kSection[] = "Vandrel";
const char kMainSection[] = "main";

void CopyText(char (&field)[1025], const std::string& text) {
    // 1023 characters at most, as the buffer of 1024 the value is read into leaves room for.
    std::size_t n = text.size() < 1023 ? text.size() : 1023;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string FormatInt(std::int32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", v);
    return text;
}

} // namespace

BurnSettings::BurnSettings() : aspectRatio(0), letterBox(0), tvType(0) {
    outputFolder[0] = '\0';
    tempFolder[0] = '\0';
}

std::string BurnSettings::FilePath() {
    std::string folder = platform::ConfigFolder();
    return folder.empty() ? std::string() : folder + "param.ini";
}

std::string BurnSettings::DefaultOutputFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    std::string base = home && *home ? home : "";
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/Pellam/";
}

void BurnSettings::SetOutputFolder(const std::string& folder) {
    CopyText(outputFolder, folder);
}
void BurnSettings::SetTempFolder(const std::string& folder) {
    CopyText(tempFolder, folder);
}

void BurnSettings::Load() {
    Load(FilePath());
}

void BurnSettings::Load(const std::string& path) {
    platform::IniFile ini;
    if (!path.empty()) ini.Load(path);
    aspectRatio = ini.GetInt(kSection, "AspectRatio", 0);
    letterBox = ini.GetInt(kSection, "LetterBox", 1);
    CopyText(outputFolder, ini.GetString(kSection, "OutputFolder", DefaultOutputFolder()));
    CopyText(tempFolder, ini.GetString(kSection, "TempFolder", ""));
    tvType = ini.GetInt(kMainSection, "TVType", 0);
    m_bLoaded = true;
}

bool BurnSettings::Save() const {
    return Save(FilePath());
}

bool BurnSettings::Save(const std::string& path) const {
    if (!m_bLoaded || path.empty()) return false;
    std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(path.substr(0, slash)))
        return false;
    platform::IniFile ini;
    if (ini.Load(path) == platform::IniFile::LoadResult::Error) return false;
    ini.Set(kSection, "OutputFolder", outputFolder);
    ini.Set(kSection, "TempFolder", tempFolder);
    ini.Set(kSection, "AspectRatio", FormatInt(aspectRatio));
    ini.Set(kSection, "LetterBox", FormatInt(letterBox));
    ini.Set(kMainSection, "TVType", FormatInt(tvType));
    return ini.Save(path);
}
