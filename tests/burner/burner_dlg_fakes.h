// The main window's widgets and the desktop as the main window's tests script them, and a
// scratch folder with files of chosen sizes.
#pragma once

#include "burner/app/burner_dlg_logic.h"
#include "engines/cd/fake_cd_engine.h"
#include "engines/mpgtx/fake_mpgtx.h"
#include "platform/manual_message_loop.h"
#include "platform/message_boxes.h"
#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace burnertest {

class RecordingDlgHost : public CBurnerDlgHost {
  public:
    std::deque<std::vector<std::string>> choices; // answers of the file dialog, in order
    std::vector<FileOpenRequest> requests;
    std::vector<InvalidFileView> invalid;
    bool burned = false; // what the Start Burning dialog answers
    int burnDialogs = 0;
    std::vector<AboutView> abouts;
    bool closed = false;
    int changes = 0;
    // Run while the invalid-file dialog is up, as events the modal loop delivers would.
    std::function<void()> duringInvalidDialog;

    std::vector<std::string> ChooseFiles(const FileOpenRequest& request) override {
        requests.push_back(request);
        if (choices.empty()) return {};
        std::vector<std::string> c = choices.front();
        choices.pop_front();
        return c;
    }
    void ShowInvalidFile(const InvalidFileView& view) override {
        invalid.push_back(view);
        if (duringInvalidDialog) {
            auto f = std::move(duringInvalidDialog);
            duringInvalidDialog = nullptr;
            f();
        }
    }
    bool RunStartBurning() override {
        ++burnDialogs;
        return burned;
    }
    void RunAbout(const AboutView& view) override { abouts.push_back(view); }
    void CloseDialog() override { closed = true; }
    void ViewChanged() override { ++changes; }

    std::vector<std::string> InvalidFiles() const {
        std::vector<std::string> files;
        for (const InvalidFileView& v : invalid)
            files.push_back(v.m_strFile);
        return files;
    }
};

class RecordingShell : public platform::Shell {
  public:
    std::intptr_t openResult = platform::SE_OK;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> started; // program, then its arguments

    std::intptr_t Open(const std::string& target) override {
        opened.push_back(target);
        return openResult;
    }
    std::intptr_t Start(const std::string& program, const std::vector<std::string>& args) override {
        std::vector<std::string> call{program};
        call.insert(call.end(), args.begin(), args.end());
        started.push_back(call);
        return platform::SE_OK;
    }
};

class ScratchFolder {
  public:
    ScratchFolder() {
        char name[] = "/tmp/pellam_dlg_XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    // A sparse file of exactly this many bytes.
    std::string File(const std::string& name, std::uintmax_t bytes) const {
        std::string p = path_ + "/" + name;
        { std::ofstream(p, std::ios::binary); }
        std::filesystem::resize_file(p, bytes);
        return p;
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

constexpr std::int64_t kMb = 1048576;

// The main window of one disc mode on a hand-pumped loop, with scripted engines.
struct MainWindow {
    explicit MainWindow(int mode) {
        dlg = std::make_unique<CBurnerDlgLogic>(CBurnerDlgLogic::Services{
            mode, "Pellam ", host, boxes, shell, &cd, &mpgtx, dir.Path() + "/",
            [] { return std::string("/usr/bin/mpv"); }});
        dlg->AttachLoop(&loop);
        dlg->OnInitDialog();
    }
    std::vector<std::string> Paths() const { return dlg->GetListPaths(); }
    engines::_mpgtx_check_param_& Record() {
        // What the checker writes besides the fields the fake fills in.
        return const_cast<engines::_mpgtx_check_param_&>(dlg->AddFiles().CheckRecord());
    }

    platform::ManualMessageLoop loop;
    burnertest::RecordingDlgHost host;
    platform::RecordingMessageBoxes boxes;
    burnertest::RecordingShell shell;
    engines::FakeCdEngine cd;
    engines::FakeMpgtx mpgtx;
    burnertest::ScratchFolder dir;
    std::unique_ptr<CBurnerDlgLogic> dlg;
};

// The whole add flow for one file that passes its check.
inline void AddCdFile(MainWindow& w, const std::string& path) {
    w.host.choices.push_back({path});
    w.dlg->OnAddFiles();
    ASSERT_TRUE(w.cd.FireScanDone(path, false, 352, 288, 1150000, 25.0));
    w.loop.Pump();
}
inline void AddDvdFile(MainWindow& w, const std::string& path, std::int64_t size) {
    w.host.choices.push_back({path});
    w.dlg->OnAddFiles();
    ASSERT_TRUE(w.mpgtx.CompleteCheck(false, size, 60, 720, 576, 25));
    w.loop.Pump();
}

} // namespace burnertest
