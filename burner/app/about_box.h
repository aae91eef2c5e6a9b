// The About box's texts and the places the Home and Help buttons open.
#pragma once

#include "platform/shell_open.h"

#include <string>

inline constexpr char kAboutMenuText[] = "&About Vandrel..."; // system menu, command 16
inline constexpr int kAboutMenuCommand = 16;
inline constexpr char kHomePageUrl[] = "https://pellam.example.org/";
inline constexpr char kSupportMailUrl[] = "mailto:support@pellam.example.org";
inline constexpr char kHomePageLinkText[] = "Visit Our Homepage"; // control 1017
inline constexpr char kSupportLinkText[] = "Technical Support";   // control 1019

struct AboutView {
    std::string caption;     // "About " + title
    std::string versionText; // control 1021: title + AppVer of app.ini
    std::string homeUrl = kHomePageUrl;
    std::string supportUrl = kSupportMailUrl;
};

// appFolder is the program's folder with its trailing '/'. app.ini beside the program when it
// is there, else <prefix>/share/pellam/app.ini for a program installed in <prefix>/bin/.
std::string AppIniPath(const std::string& appFolder);
// At most 9 characters of key "AppVer" in section "main"; empty when absent.
std::string ReadAppVersion(const std::string& appIniPath);
AboutView MakeAboutView(const std::string& title, const std::string& appFolder);

// The help's first page: help/index.html beside the program, else
// <prefix>/share/pellam/help/index.html; the first of them when neither is there.
std::string HelpIndexPath(const std::string& appFolder);

// Mail addresses and web addresses both go to the desktop's opener; the result is the shell's.
std::intptr_t OpenUrl(platform::Shell& shell, const std::string& address);
