// The burner's side of the CD engine for the Start Burning dialog: listing the writers, the disc
// test, erasing, burning the BIN/CUE image, abort and eject, and the engine's error texts.
#pragma once

#include "burner/writers/writer_combo.h"
#include "engines/cd/cd_engine.h"
#include "platform/message_boxes.h"

#include <cstdint>
#include <string>

// The Start Burning dialog as the CD writer sees it. The four events arrive on a thread of the
// engine's choosing.
class CdWriterHost {
  public:
    virtual ~CdWriterHost() = default;
    // m_nState alone, without the effects of SetState: the engine's first progress events of an
    // erase must already find the job erasing.
    virtual void SetStateValue(int state) = 0;
    // m_bBurned = 1 and the Cancel button reads "Finish".
    virtual void MarkBurned() = 0;
    virtual void LogLine(const std::string& text) = 0;

    virtual void OnCdProcess(float percent) = 0;
    virtual void OnCdFinalize() = 0;
    virtual void OnCdBurnDone(const char* errorText) = 0;
    virtual void OnCdEraseDone() = 0;
};

class CdWriter {
  public:
    CdWriter(engines::CdEngine& engine, platform::MessageBoxes& messages, CdWriterHost& host);

    // "error: <the engine's text>" in an OK box; nothing for 0.
    void ShowEngineError(std::int32_t code);

    // Creates the burn project, registers the burn events with the host as user data and lists
    // the CD writers; the writer holding a CD-R or CD-RW (the last such) starts selected, else the
    // last writer.
    void FillCdWriterList(WriterCombo& list);
    std::int32_t SelectCdWriter(char driveLetter);
    std::int32_t GetCdMedium(engines::CdMediumInfo& info);
    // 0 when the erase has started (job state 1), -1 when it failed.
    int EraseCd();
    // 0 when the burn of cuePath has started, -1 when it failed. Labels longer than the 127
    // characters the record holds are cut.
    int BurnCdImage(const std::string& cuePath, const std::string& label);
    // The caller shows a failure with ShowEngineError; the burn-done event follows as the engine
    // decides.
    std::int32_t AbortCd();
    void EjectCd();

  private:
    engines::CdEngine& engine_;
    platform::MessageBoxes& messages_;
    CdWriterHost& host_;
};

// Texts of the CD writer.
extern const char kCdNoBlankDiscMessage[]; // "Please insert a blank writable disc into the driver."
extern const char kCdNoBlankDiscLog[];     // "No blank CD Disc in writer."
extern const char kWriterBoxCaption[];     // caption of the writers' message boxes
