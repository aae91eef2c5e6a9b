#include "burner/app/qt/invalid_file_dlg.h"

#include "skin/skin_engine.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* AddText(QVBoxLayout& layout, QWidget* parent, const std::string& text, const char* id) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setObjectName(id);
    label->setWordWrap(true);
    // Paths and reasons are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout.addWidget(label);
    return label;
}

} // namespace

CInvalidFileDlg::CInvalidFileDlg(const InvalidFileView& view, QWidget* parent)
    : QDialog(parent), m_strFile(view.m_strFile) {
    setObjectName("156");
    setWindowTitle(QString::fromStdString(view.caption));
    auto* layout = new QVBoxLayout(this);
    AddText(*layout, this, view.text1062, "1062");
    AddText(*layout, this, view.text1063, "1063");
    QLabel* reason = AddText(*layout, this, view.reason, "1064");
    reason->setVisible(!view.reason.empty());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    skin::SetWindowSkin(this, "Dialog");
}
