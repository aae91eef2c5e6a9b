#include "launcher/launcher_wnd.h"

#include "burner/app/about_box.h"
#include "controls/art_resources.h"
#include "controls/hyperlink_label.h"
#include "controls/open_url.h"
#include "platform/shell_open.h"
#include "skin/skin_description.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

QtBurnerProcess::QtBurnerProcess(QObject* parent) : QObject(parent) {}

bool QtBurnerProcess::Start(const std::string& program, const std::string& argument,
                            std::function<void()> onEnded) {
    if (m_process && m_process->state() != QProcess::NotRunning) return false;
    delete m_process;
    m_process = new QProcess(this);
    // The burner talks to the user itself; its output goes where the launcher's does.
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->setProgram(QString::fromStdString(program));
    m_process->setArguments({QString::fromStdString(argument)});
    auto ended = std::make_shared<std::function<void()>>(std::move(onEnded));
    connect(m_process, &QProcess::finished, this, [ended] {
        if (*ended) std::exchange(*ended, nullptr)();
    });
    m_process->start();
    if (!m_process->waitForStarted(-1)) return false;
    return true;
}

CLauncherAboutDlg::CLauncherAboutDlg(const std::string& appFolder, QWidget* parent)
    : QDialog(parent) {
    setObjectName("100");
    setWindowTitle("About Pellam");
    setWindowIcon(controls::LoadIconResource(128));
    AboutView view = MakeAboutView("Pellam", appFolder);
    view.versionText = "Pellam " + ReadAppVersion(AppIniPath(appFolder));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(controls::LoadIconResource(128).pixmap(32, 32));
    top->addWidget(icon);
    auto* version = new QLabel(QString::fromStdString(view.versionText), this);
    version->setObjectName("1002");
    version->setTextFormat(Qt::PlainText);
    top->addWidget(version, 1);
    layout->addLayout(top);
    auto* home = new CHyperLinkLabel(QString::fromUtf8(kHomePageLinkText), this);
    home->setObjectName("1003");
    home->SetURL(QString::fromStdString(view.homeUrl));
    home->SetUnderline(1);
    layout->addWidget(home);
    auto* support = new CHyperLinkLabel(QString::fromUtf8(kSupportLinkText), this);
    support->setObjectName("1005");
    support->SetURL(QString::fromStdString(view.supportUrl));
    support->SetUnderline(1);
    layout->addWidget(support);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CLauncherDlg::CLauncherDlg(BurnerProcess& process, const std::string& folder, QWidget* parent)
    : QDialog(parent), m_logic(*this, process, folder) {
    // The dialog skin is for the other windows; this one wears "MainWnd".
    skin::RemoveWindowSkin(this);
    setObjectName("102");
    setWindowTitle("Pellam");
    setWindowIcon(controls::LoadIconResource(128));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    skin::SetWindowSkin(this, "MainWnd");

    m_picture = new QLabel(this);
    m_picture->setObjectName("1012");
    m_picture->setGeometry(skin::DialogUnitsToPixels(QRect(33, 45, 179, 125), fontMetrics()));
    m_picture->setScaledContents(false);
    ShowPicture(m_logic.Picture());

    // The window menu's About item (command 16) lives in the window's context menu here.
    auto* about = new QAction("&About MainApp...", this);
    about->setObjectName("about");
    connect(about, &QAction::triggered, this, [this] { m_logic.OnCommand(kSysCmdAboutFirst); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_preview = new QTimer(this);
    m_preview->setInterval(kPreviewPeriodMs);
    connect(m_preview, &QTimer::timeout, this, &CLauncherDlg::OnPreviewTimer);
    m_preview->start();

    showAbout = [this] {
        auto* about = new CLauncherAboutDlg(m_logic.Folder(), this);
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->open();
    };
    openHelp = [](const std::string& path) {
        platform::GetShell().Open(
            QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString());
    };
    openHome = [](const std::string& url) {
        controls::OpenUrl(controls::UrlOpenForm::Launcher, url, controls::SW_SHOWNORMAL);
    };
}

CLauncherDlg::~CLauncherDlg() {
    m_preview->stop();
}

void CLauncherDlg::OnSkinCommand(int command) {
    m_logic.OnCommand(command);
}

void CLauncherDlg::OnPreviewTimer() {
    m_logic.OnPreviewTick([this](const char* name, int* state) {
        return skin::GetButtonState(this, name, state) == 1;
    });
}

void CLauncherDlg::HideWindow() {
    m_preview->stop();
    hide();
}

void CLauncherDlg::ShowWindow() {
    show();
    raise();
    activateWindow();
    m_preview->start();
}

void CLauncherDlg::ShowPicture(int bitmap) {
    if (bitmap == m_shown) return;
    m_shown = bitmap;
    m_picture->setPixmap(controls::LoadBitmapResource(bitmap, m_picture->size()));
}

void CLauncherDlg::ShowAbout() {
    if (showAbout) showAbout();
}

void CLauncherDlg::OpenHelp(const std::string& path) {
    if (openHelp) openHelp(path);
}

void CLauncherDlg::OpenHome(const std::string& url) {
    if (openHome) openHome(url);
}
