// The burner's start-up and exit: disc mode from the command line, the DirectX gate, the
// multiplexer library, the skin, the settings and the main dialog, in that order. Everything the
// sequence touches comes in through interfaces, so it runs the same without a window.
#pragma once

#include "burn_settings.h"

#include "platform/library_loader.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"

#include <string>

enum { DISC_VCD = 0, DISC_SVCD = 1, DISC_DVD = 2 };

// Set once by ParseDiscMode, before anything else reads it.
extern int DiscMode;

// The multiplexer library and its entry point "mplex", null until loaded and found.
extern platform::LibraryHandle g_hMjpgTools;
extern void* g_pfnMplex;

constexpr char kMjpgToolsLibrary[] = "libmjpgTools.so";
constexpr char kMplexEntry[] = "mplex";
constexpr int kSkinResource = 129;
constexpr char kSkinResourceType[] = "RT_SKINMAGIC";

// Skips the program name (a quoted one up to its closing quote) and the blanks after it, then
// takes the letter after the first '#': D, S or V. Sets DiscMode and returns true for those.
bool ParseDiscMode(const char* commandLine);

// The command line the way the parse expects it: the program name (quoted when it holds blanks)
// and the arguments, separated by blanks.
std::string CommandLineFromArgs(int argc, const char* const* argv);

// The DirectX version times ten from the registry's "Version" value; -1 when it cannot be read,
// after telling the user "Fail to read register!  ".
int GetDirectXVersion(const platform::Registry& registry, platform::MessageBoxes& boxes);

// "Orvanta MPEG to VCD Burner ", "Orvanta MPEG to SVCD Burner " or "Pellam ".
const char* TitleForDiscMode(int mode);

// The skin engine's operations start-up and exit use; each returns the engine's result.
class SkinEngine {
  public:
    virtual ~SkinEngine() = default;
    virtual int Start() = 0; // not 0 once started
    // module null: the program itself.
    virtual int LoadSkinFromResource(const void* module, int resource, const char* type) = 0;
    virtual int Shutdown() = 0;
};

// Runs the main dialog (template 102) modally with the title as its caption.
class MainDialogHost {
  public:
    virtual ~MainDialogHost() = default;
    virtual int RunMainDialog(const std::string& title) = 0;
};

class CBurnerApp {
  public:
    struct Services {
        const platform::Registry& registry;
        platform::MessageBoxes& boxes;
        platform::LibraryLoader& loader;
        SkinEngine& skin;
        MainDialogHost& mainDialog;
        BurnSettings& settings;
        std::string settingsPath; // empty: BurnSettings::FilePath()
    };

    explicit CBurnerApp(Services services);

    // Always false: the program ends once the main dialog closes, or when a step fails.
    bool InitInstance(const std::string& commandLine);
    // Frees the library, stores the settings, shuts the skin down; returns the exit code (0).
    int ExitInstance();

    int m_bSkinStarted = 0;
    std::string m_strTitle;

    // How far the last start-up got; for the caller's log and for tests.
    enum class Stage { NotStarted, NoDiscMode, NoDirectX, NoLibrary, NoEntry, DialogRan };
    Stage LastStage() const { return m_stage; }

  private:
    Services m_services;
    Stage m_stage = Stage::NotStarted;
};
