#include "burner/app/about_box.h"

#include "platform/ini_file.h"

#include <sys/stat.h>

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string AppIniPath(const std::string& appFolder) {
    std::string beside = appFolder + "app.ini";
    if (IsFile(beside)) return beside;
    return appFolder + "../share/pellam/app.ini";
}

std::string ReadAppVersion(const std::string& appIniPath) {
    char text[10] = {};
    platform::GetPrivateProfileString("main", "AppVer", "", text, sizeof text, appIniPath);
    return text;
}

AboutView MakeAboutView(const std::string& title, const std::string& appFolder) {
    AboutView v;
    v.caption = "About " + title;
    v.versionText = title + ReadAppVersion(AppIniPath(appFolder));
    return v;
}

std::string HelpIndexPath(const std::string& appFolder) {
    std::string beside = appFolder + "help/index.html";
    if (IsFile(beside)) return beside;
    std::string installed = appFolder + "../share/pellam/help/index.html";
    if (IsFile(installed)) return installed;
    return beside;
}

std::intptr_t OpenUrl(platform::Shell& shell, const std::string& address) {
    return shell.Open(address);
}
