#include "burner/app/qt/about_dlg.h"

#include "controls/art_resources.h"
#include "controls/hyperlink_label.h"
#include "skin/skin_engine.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(const AboutView& view, QWidget* parent) : QDialog(parent) {
    setObjectName("100");
    setWindowTitle(QString::fromStdString(view.caption));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(controls::LoadIconResource(128).pixmap(32, 32));
    top->addWidget(icon);
    auto* version = new QLabel(QString::fromStdString(view.versionText), this);
    version->setObjectName("1021");
    version->setTextFormat(Qt::PlainText);
    top->addWidget(version, 1);
    layout->addLayout(top);

    m_home = new CHyperLinkLabel(QString::fromUtf8(kHomePageLinkText), this);
    m_home->setObjectName("1017");
    m_home->SetURL(QString::fromStdString(view.homeUrl));
    m_support = new CHyperLinkLabel(QString::fromUtf8(kSupportLinkText), this);
    m_support->setObjectName("1019");
    m_support->SetURL(QString::fromStdString(view.supportUrl));
    // The links draw themselves; the skin's style would paint over their colours.
    skin::RemoveWindowSkin(m_home);
    skin::RemoveWindowSkin(m_support);
    layout->addWidget(m_home);
    layout->addWidget(m_support);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(300);
}
