#include "engines/dvdauthor/fake_author_dvd.h"

#include "engines/fake_delivery.h"

#include <filesystem>
#include <fstream>

namespace engines {

void FakeDvdAuthor::AuthorDVD(AuthorDvdParam* param) {
    running_ = param;
    calls.push_back(*param);
}

bool FakeDvdAuthor::Report(unsigned wParam, platform::LPARAM lParam) {
    AuthorDvdParam* p = running_;
    if (!p) return false;
    if (wParam == kAuthorFailed || wParam == kAuthorSucceeded) running_ = nullptr;
    DeliverToWindow(sendMessages, p->window, WM_AUTHOR_EVENT, wParam, lParam);
    return true;
}

bool FakeDvdAuthor::Succeed(bool writeFolder) {
    if (!running_) return false;
    if (writeFolder) {
        namespace fs = std::filesystem;
        fs::path out(running_->outputFolder);
        std::error_code ec;
        fs::create_directories(out / "VIDEO_TS", ec);
        fs::create_directories(out / "AUDIO_TS", ec);
        for (const char* name :
             {"VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_0.BUP"})
            std::ofstream(out / "VIDEO_TS" / name, std::ios::binary) << std::string(2048, '\0');
    }
    return Report(kAuthorSucceeded);
}

} // namespace engines
