#include "burner_startup.h"

#include <cstring>
#include <utility>

int DiscMode = DISC_VCD;
platform::LibraryHandle g_hMjpgTools = nullptr;
void* g_pfnMplex = nullptr;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

struct VersionRow {
    const char* prefix;
    int version;
};

const VersionRow kVersions[] = {
    {"4.05.00.0155", 50}, {"4.05.01.1721", 50}, {"4.05.01.1998", 50}, {"4.06.02.0436", 60},
    {"4.07.00.0700", 70}, {"4.07.00.0716", 71}, {"4.08.00.0400", 80}, {"4.08.01.0881", 85},
    {"4.09.00.0900", 90}, {"4.09.00.0901", 91}, {"4.09.00.0902", 92},
};

} // namespace

bool ParseDiscMode(const char* commandLine) {
    if (!commandLine) return false;
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && !IsBlank(*p))
            ++p;
    }
    while (IsBlank(*p))
        ++p;
    if (!*p) return false;
    const char* hash = std::strchr(p, '#');
    if (!hash) return false;
    switch (hash[1]) {
    case 'D':
        DiscMode = DISC_DVD;
        return true;
    case 'S':
        DiscMode = DISC_SVCD;
        return true;
    case 'V':
        DiscMode = DISC_VCD;
        return true;
    default:
        return false;
    }
}

std::string CommandLineFromArgs(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (!argv || !argv[i]) break;
        std::string arg = argv[i];
        if (i > 0) line += ' ';
        bool quote = i == 0 && arg.find_first_of(" \t") != std::string::npos;
        line += quote ? "\"" + arg + "\"" : arg;
    }
    return line;
}

int GetDirectXVersion(const platform::Registry& registry, platform::MessageBoxes& boxes) {
    const std::string key = "SOFTWARE\\Microsoft\\DirectX\\";
    std::string value;
    // A key without a readable "Version" is as good as no key: the gate must not pass on it.
    if (!registry.KeyExists(platform::RegistryRoot::LocalMachine, key) ||
        !registry.ReadString(platform::RegistryRoot::LocalMachine, key, "Version", value)) {
        boxes.Show("Fail to read register!  ", "", platform::MB_OK);
        return -1;
    }
    if (value.size() > 255) value.resize(255);
    for (const VersionRow& row : kVersions) {
        if (value.compare(0, 12, row.prefix) == 0) return row.version;
    }
    switch (value.size() > 3 ? value[3] : '\0') {
    case '5':
        return 50;
    case '6':
        return 60;
    case '7':
        return 70;
    case '8':
        return 80;
    case '9':
        return 90;
    default:
        return 93;
    }
}

const char* TitleForDiscMode(int mode) {
    switch (mode) {
    case DISC_SVCD:
        return "Orvanta MPEG to SVCD Burner ";
    case DISC_DVD:
        return "Pellam ";
    default:
        return "Orvanta MPEG to VCD Burner ";
    }
}

CBurnerApp::CBurnerApp(Services services) : m_services(std::move(services)) {}

bool CBurnerApp::InitInstance(const std::string& commandLine) {
    if (!ParseDiscMode(commandLine.c_str())) {
        m_stage = Stage::NoDiscMode;
        return false;
    }
    if (GetDirectXVersion(m_services.registry, m_services.boxes) < 80) {
        m_services.boxes.Show("This program needs directX 8.0 or greater to run!   ", "",
                              platform::MB_OK);
        m_stage = Stage::NoDirectX;
        return false;
    }
    g_hMjpgTools = m_services.loader.Load(kMjpgToolsLibrary);
    if (!g_hMjpgTools) {
        m_services.boxes.Show("Can't load mplex DLL!", "", platform::MB_OK);
        m_stage = Stage::NoLibrary;
        return false;
    }
    g_pfnMplex = m_services.loader.Symbol(g_hMjpgTools, kMplexEntry);
    if (!g_pfnMplex) {
        m_services.boxes.Show("Load mplex DLL error!", "", platform::MB_OK);
        m_stage = Stage::NoEntry;
        return false;
    }
    // Shut down at exit only what did start; a failed start leaves the plain look.
    if (m_services.skin.Start() != 0) {
        m_services.skin.LoadSkinFromResource(nullptr, kSkinResource, kSkinResourceType);
        m_bSkinStarted = 1;
    }
    if (m_services.settingsPath.empty())
        m_services.settings.Load();
    else
        m_services.settings.Load(m_services.settingsPath);
    m_strTitle = TitleForDiscMode(DiscMode);
    m_services.mainDialog.RunMainDialog(m_strTitle);
    m_stage = Stage::DialogRan;
    return false;
}

int CBurnerApp::ExitInstance() {
    if (g_hMjpgTools) m_services.loader.Free(g_hMjpgTools);
    g_hMjpgTools = nullptr;
    g_pfnMplex = nullptr;
    if (m_services.settingsPath.empty())
        m_services.settings.Save();
    else
        m_services.settings.Save(m_services.settingsPath);
    if (m_bSkinStarted == 1) {
        m_services.skin.Shutdown();
        m_bSkinStarted = 0;
    }
    return 0;
}
