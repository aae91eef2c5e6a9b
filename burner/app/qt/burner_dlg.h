// The burner's main window (dialog 102): renders the main window's logic (CBurnerDlgLogic) and
// forwards the user's input to it. The checks of added files report by window messages through
// the message loop, so the window stays usable while they run.
#pragma once

#include "burner/app/burner_dlg_logic.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CIconButton;
class CLoadingWnd;
class CScanningWnd;
class QAction;
class QLabel;
class QMenu;
class QTableWidget;

struct BurnerDlgServices {
    BurnerDlgServices(int mode, std::string caption, platform::MessageBoxes& b, platform::Shell& sh,
                      platform::MessageLoop& l)
        : discMode(mode), title(std::move(caption)), boxes(b), shell(sh), loop(l) {}
    int discMode = 0;
    std::string title; // m_strTitle of start-up
    platform::MessageBoxes& boxes;
    platform::Shell& shell;
    platform::MessageLoop& loop;           // the window's thread's loop
    engines::CdEngine* cdEngine = nullptr; // VCD and SVCD
    engines::Mpgtx* mpgtx = nullptr;       // DVD
    std::string appFolder;                 // with its trailing '/'
    // The Start Burning dialog, modal over the main window, on the list's paths; returns
    // whether a burn was started.
    std::function<bool(QWidget* parent, const std::vector<std::string>& paths)> startBurning;
    // Empty: CFileDialogEx. Tests answer the file dialog here.
    std::function<std::vector<std::string>(QWidget* parent, const FileOpenRequest&)> chooseFiles;
    // Empty: exec(). Tests look at the modal dialogs and the list's menu here instead.
    std::function<void(QDialog&)> runModal;
    std::function<void(QMenu&, const QPoint& globalPos)> runMenu;
    // Empty: the installed media player.
    std::function<std::string()> findPlayer;
};

class CBurnerDlg : public QDialog, private CBurnerDlgHost {
    Q_OBJECT
  public:
    explicit CBurnerDlg(BurnerDlgServices services, QWidget* parent = nullptr);
    ~CBurnerDlg() override;

    CBurnerDlgLogic& Logic() { return *m_logic; }
    CScanningWnd& ScanningWindow() { return *m_scanWnd; }
    CLoadingWnd& LoadingWindow() { return *m_loadWnd; }
    QMenu& ListMenu() { return *m_menu; }
    QTableWidget& List() { return *m_list; }
    // Shows the list's menu for the row (-1: empty space) at the place given, greyed as the
    // logic says.
    void ShowListMenu(int row, const QPoint& globalPos);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // CBurnerDlgHost
    std::vector<std::string> ChooseFiles(const FileOpenRequest& request) override;
    void ShowInvalidFile(const InvalidFileView& view) override;
    bool RunStartBurning() override;
    void RunAbout(const AboutView& view) override;
    void CloseDialog() override;
    void FocusList() override;
    void ViewChanged() override { Render(); }

    void BuildControls();
    void BuildMenu();
    CIconButton* MakeButton(int id, const char* caption, int icon, const char* tooltip,
                            void (CBurnerDlgLogic::*command)());
    void RunModal(QDialog& dialog);
    void Render();
    void RenderRows();
    void RenderSelection();
    int RowAt(const QPoint& viewportPos) const;

    BurnerDlgServices m_services;
    QTableWidget* m_list = nullptr;
    QWidget* m_sizeBar = nullptr;
    QLabel* m_discType = nullptr;
    QLabel* m_hint = nullptr;
    QLabel* m_totals = nullptr;
    CIconButton* m_btnToolkit = nullptr;
    CScanningWnd* m_scanWnd = nullptr;
    CLoadingWnd* m_loadWnd = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_actPlay = nullptr;
    QAction* m_actRemove = nullptr;
    QAction* m_actRemoveAll = nullptr;
    QAction* m_actMoveUp = nullptr;
    QAction* m_actMoveDown = nullptr;
    bool m_rendering = false;
    bool m_closing = false;
    std::unique_ptr<CBurnerDlgLogic> m_logic;
};
