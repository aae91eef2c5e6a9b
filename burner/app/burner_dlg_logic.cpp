#include "burner/app/burner_dlg_logic.h"

#include "burner/app/burner_startup.h"

const char* DiscTypeText(int discMode) {
    switch (discMode) {
    case DISC_SVCD:
        return " Disc Type: SVCD";
    case DISC_DVD:
        return " Disc Type: DVD";
    default:
        return " Disc Type: VCD";
    }
}

const char* DiscHintText(int discMode) {
    switch (discMode) {
    case DISC_SVCD:
        return " Please add SVCD compatible MPEG-2 files ... ";
    case DISC_DVD:
        return " Please add DVD compatible MPEG-2 files ... ";
    default:
        return " Please add VCD compatible MPEG-1 files ...";
    }
}

CBurnerDlgLogic::CBurnerDlgLogic(Services services) : services_(std::move(services)) {
    addFiles_ = std::make_unique<CAddFilesJob>(
        CAddFilesJob::Services{services_.discMode, list_, services_.host, services_.boxes, nullptr,
                               Cd() ? services_.cdEngine : nullptr,
                               Cd() ? nullptr : services_.mpgtx},
        this);
    if (Cd() && services_.cdEngine) {
        cdErrors_ = std::make_unique<CdWriter>(*services_.cdEngine, services_.boxes, noBurnHost_);
        int kind = services_.discMode == DISC_SVCD ? engines::kCdProjectSuperVideoCd
                                                   : engines::kCdProjectVideoCd;
        scan_ = std::make_unique<CdScanProject>(*services_.cdEngine, *cdErrors_, kind, *addFiles_,
                                                *addFiles_);
        addFiles_->AttachScanProject(scan_.get());
    }
}

CBurnerDlgLogic::~CBurnerDlgLogic() {
    if (scan_) {
        services_.cdEngine->SetVideoScannerEventCallback(nullptr, nullptr);
        services_.cdEngine->SetVideoScanDoneEventCallback(nullptr, nullptr);
    }
}

bool CBurnerDlgLogic::Cd() const {
    return services_.discMode != DISC_DVD;
}

void CBurnerDlgLogic::OnInitDialog() {
    list_.m_nSelected = -1;
    SetUpScaleForDiscMode(bar_, services_.discMode);
    if (scan_) scan_->Start();
    services_.host.ViewChanged();
}

BurnerDlgView CBurnerDlgLogic::View() const {
    BurnerDlgView v;
    v.caption = services_.title;
    v.discTypeText = DiscTypeText(services_.discMode);
    v.hintText = DiscHintText(services_.discMode);
    v.totalsText = list_.TotalsText();
    v.barValue = list_.TotalMegabytes();
    v.checkWindows = addFiles_->View();
    v.checking = addFiles_->Busy();
    return v;
}

SizeRangeScale CBurnerDlgLogic::Bar() const {
    SizeRangeScale bar = bar_;
    bar.SetValue(list_.TotalMegabytes());
    return bar;
}

void CBurnerDlgLogic::OnAddFiles() {
    addFiles_->OnAddFiles();
}

void CBurnerDlgLogic::OnDropFiles(const std::vector<std::string>& paths) {
    addFiles_->AddPaths(paths);
}

void CBurnerDlgLogic::OnRemove() {
    if (list_.m_nSelected == -1 || list_.ListSelection() == -1) return;
    services_.host.FocusList();
    list_.RemoveSelected();
    // The engine's project only serves the scans; its answer here changes nothing.
    if (scan_) scan_->RemoveOne();
    services_.host.ViewChanged();
}

void CBurnerDlgLogic::OnRemoveAll() {
    if (list_.FileCount() <= 0) return;
    if (services_.boxes.Show(kRemoveAllQuestion, kWriterBoxCaption, platform::MB_YESNO) !=
        platform::IDYES)
        return;
    list_.RemoveAll();
    services_.host.ViewChanged();
    if (scan_) scan_->RemoveAll();
}

void CBurnerDlgLogic::OnPlay() {
    if (list_.m_nSelected == -1) return;
    int row = list_.ListSelection();
    if (row < 0) return;
    const std::string path = list_.Rows()[row].Path();
    if (path.empty()) return;
    if (services_.shell.Open(path) >= 32) return;
    // The player's own failure is not reported.
    std::string player = services_.findPlayer ? services_.findPlayer() : std::string();
    if (!player.empty()) services_.shell.Start(player, {path});
}

void CBurnerDlgLogic::OnMoveUp() {
    if (list_.m_nSelected == -1 || list_.m_nSelected == 0) return;
    services_.host.FocusList();
    if (list_.MoveUp()) services_.host.ViewChanged();
}

void CBurnerDlgLogic::OnMoveDown() {
    if (list_.m_nSelected == -1 || list_.m_nSelected >= list_.FileCount() - 1) return;
    services_.host.FocusList();
    if (list_.MoveDown()) services_.host.ViewChanged();
}

void CBurnerDlgLogic::OnListSelectionChanged(int row) {
    list_.SetListSelection(row);
}

void CBurnerDlgLogic::OnListClick(int row) {
    list_.SetListSelection(row);
    list_.OnClick();
    services_.host.ViewChanged();
}

MpegListMenuState CBurnerDlgLogic::OnListContextMenu(int row) {
    OnListClick(row);
    return list_.MenuState();
}

BurnDecision CBurnerDlgLogic::OnBurn() {
    if (list_.Empty()) {
        services_.boxes.Show(kNoFilesMessage, kWriterBoxCaption, platform::MB_OK);
        return BurnDecision::NoFiles;
    }
    // A check that reports while the Start Burning dialog runs would change the list the job
    // has already read, and the scanning project is gone meanwhile.
    if (addFiles_->Busy()) return BurnDecision::Busy;

    const bool dvd = !Cd();
    if (list_.TotalMegabytes() > (dvd ? kDvdSizeLimitMb : kCdSizeLimitMb) &&
        services_.boxes.Show(dvd ? kDvdTooLargeQuestion : kCdTooLargeQuestion, kWriterBoxCaption,
                             platform::MB_YESNO) != platform::IDYES)
        return BurnDecision::Declined;

    if (scan_) scan_->BeforeBurnDialog();
    if (services_.host.RunStartBurning()) {
        services_.host.CloseDialog();
        return BurnDecision::Burned;
    }
    if (scan_) scan_->AfterBurnDialog();
    return BurnDecision::Returned;
}

void CBurnerDlgLogic::OnAbout() {
    services_.host.RunAbout(MakeAboutView(services_.title, services_.appFolder));
}

void CBurnerDlgLogic::OnHome() {
    OpenUrl(services_.shell, kHomePageUrl);
}

void CBurnerDlgLogic::OnHelp() {
    services_.shell.Open(HelpIndexPath(services_.appFolder));
}

platform::LRESULT CBurnerDlgLogic::OnMessage(unsigned message, platform::WPARAM wParam,
                                             platform::LPARAM lParam) {
    addFiles_->OnWindowMessage(message, wParam, lParam);
    return 0;
}
