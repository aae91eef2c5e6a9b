// The launcher's window (102, "Pellam"): the skin "MainWnd" with its named buttons, the picture
// 1012 that follows the mouse over the burner buttons, and the About box. CLauncherLogic holds
// the behaviour; this window forwards the skin's commands and the preview timer to it.
#pragma once

#include "launcher/launcher_logic.h"
#include "skin/skin_engine.h"

#include <QDialog>
#include <QObject>

#include <functional>
#include <memory>

class QLabel;
class QProcess;
class QTimer;

// The burner as a child process; ends with this object only in the sense that it stops
// watching: a running burner keeps running.
class QtBurnerProcess : public QObject, public BurnerProcess {
    Q_OBJECT
  public:
    explicit QtBurnerProcess(QObject* parent = nullptr);
    bool Start(const std::string& program, const std::string& argument,
               std::function<void()> onEnded) override;

  private:
    QProcess* m_process = nullptr;
};

// The About box (100, "About Pellam"): "Pellam " and AppVer of app.ini, the two links, OK.
class CLauncherAboutDlg : public QDialog {
    Q_OBJECT
  public:
    CLauncherAboutDlg(const std::string& appFolder, QWidget* parent);
};

class CLauncherDlg : public QDialog, public skin::CommandTarget, private LauncherHost {
    Q_OBJECT
  public:
    // folder: the launcher's own folder with its trailing '/'.
    CLauncherDlg(BurnerProcess& process, const std::string& folder, QWidget* parent = nullptr);
    ~CLauncherDlg() override;

    CLauncherLogic& Logic() { return m_logic; }
    void OnSkinCommand(int command) override;
    // The bitmap the picture shows now.
    int Picture() const { return m_shown; }

    // Replaceable for tests: the About box, and opening help and home page.
    std::function<void()> showAbout;
    std::function<void(const std::string&)> openHelp;
    std::function<void(const std::string&)> openHome;

  private:
    void HideWindow() override;
    void ShowWindow() override;
    void ShowPicture(int bitmap) override;
    void ShowAbout() override;
    void OpenHelp(const std::string& path) override;
    void OpenHome(const std::string& url) override;
    void OnPreviewTimer();

    CLauncherLogic m_logic;
    QLabel* m_picture = nullptr;
    QTimer* m_preview = nullptr;
    int m_shown = 0;
};
