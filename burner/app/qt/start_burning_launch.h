// How the main window runs the Start Burning dialog: modally, over the main window, on the list's
// paths in row order and the engines of the disc mode. Implemented beside the dialog itself.
#pragma once

#include "burner/app/burn_settings.h"
#include "engines/cd/cd_engine.h"
#include "engines/dvd/dvd_engine.h"
#include "engines/dvdauthor/author_dvd.h"
#include "engines/mjpgtools/mplex.h"
#include "engines/mpgtx/mpgtx.h"
#include "platform/message_boxes.h"

#include <string>
#include <vector>

class QWidget;

struct StartBurningLaunch {
    int discMode = 0;
    std::vector<std::string> listPaths; // the MPEG list, in row order
    BurnSettings* settings = nullptr;
    platform::MessageBoxes* boxes = nullptr;
    engines::CdEngine* cdEngine = nullptr;   // VCD and SVCD
    engines::DvdEngine* dvdEngine = nullptr; // DVD
    engines::Mpgtx* mpgtx = nullptr;
    engines::Multiplexer* multiplexer = nullptr;
    engines::DvdAuthor* author = nullptr;
};

// Runs CStartBurningDlg modally; returns its m_bBurned (a burn was started).
bool RunStartBurning(QWidget* parent, const StartBurningLaunch& launch);
