#include "engines/cd/cd_error_codes.h"

#include "engines/cd/cd_engine.h"

namespace engines {

std::string CdErrorText(std::int32_t code) {
    switch (code) {
    case 0:
        return "No error";
    case kCdErrNoProject:
        return "No project is open.";
    case kCdErrBadProjectKind:
        return "This kind of project is not known.";
    case kCdErrNoDevice:
        return "No writer has been selected.";
    case kCdErrUnknownDevice:
        return "There is no writer with this drive letter.";
    case kCdErrBusy:
        return "The writer is busy with a burn or an erase.";
    case kCdErrNoImage:
        return "No disc image has been added to the project.";
    case kCdErrBadRecord:
        return "The file record is not valid.";
    case kCdErrFileUnreadable:
        return "The file cannot be read.";
    case kCdErrBadCue:
        return "The cue sheet cannot be read, or an image file it names is missing.";
    case kCdErrNoCdrdao:
        return "cdrdao was not found; install the cdrdao package to use CD writers.";
    case kCdErrDiskInfo:
        return "The disc in the writer cannot be read.";
    case kCdErrWrongProject:
        return "This project does not take this kind of file.";
    case kCdErrDiscsFolder:
        return "The folder for recorded discs cannot be written.";
    case kCdErrStart:
        return "The burning thread cannot be started.";
    case kCdErrEject:
        return "The tray cannot be opened.";
    case kCdNoBlankDiscA:
        return "The disc in the writer is not empty.";
    case kCdNoBlankDiscB:
        return "The disc in the writer is not a writable CD.";
    case kCdNoDisc:
        return "There is no disc in the writer.";
    case kCdErrDeviceOpen:
        return "The writer cannot be opened; check that its device node exists and that you may "
               "use it (group cdrom).";
    default:
        return "Unknown error (code " + std::to_string(code) + ").";
    }
}

} // namespace engines
