// The main window's project in the CD engine, kept only so that the engine's video scanner checks
// every added file against the disc type (VCD: kind 3, SVCD: kind 4).
#pragma once

#include "burner/writers/cd_writer.h"

#include <string>

// The scanning window and the main dialog as the scan events reach them, on the engine's thread.
class CdScanHost {
  public:
    virtual ~CdScanHost() = default;
    virtual void OnScanProgress(float percent) = 0;
    virtual void OnScanDone(const char* path, bool invalid, int width, int height, int bitRate,
                            double frameRate) = 0;
};

class CdScanProject {
  public:
    // kind: engines::kCdProjectVideoCd or kCdProjectSuperVideoCd. progress receives the progress
    // events (the scanning window), done the scan results (the main dialog).
    CdScanProject(engines::CdEngine& engine, CdWriter& errors, int kind, CdScanHost& progress,
                  CdScanHost& done);

    // Initialize, the two scan events, then the project; failures are shown.
    void Start();
    // false when the engine refused the file (its text has been shown).
    bool AddFile(const std::string& mpegPath);
    void RemoveOne(); // result not shown
    void RemoveAll(); // result shown
    void BeforeBurnDialog();
    void AfterBurnDialog();

  private:
    engines::CdEngine& engine_;
    CdWriter& errors_;
    int kind_;
    CdScanHost& progress_;
    CdScanHost& done_;
};

extern const char kCdEngineInitText[];
