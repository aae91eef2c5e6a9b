#include "platform/qt/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

int QtMessageBoxes::Show(const std::string& text, const std::string& caption, unsigned type) {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton preferred;
    switch (type & MB_BUTTONS_MASK) {
    case MB_OKCANCEL:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        preferred = QMessageBox::Ok;
        break;
    case MB_YESNOCANCEL:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        preferred = QMessageBox::Yes;
        break;
    case MB_YESNO:
        buttons = QMessageBox::Yes | QMessageBox::No;
        preferred = QMessageBox::Yes;
        break;
    case MB_RETRYCANCEL:
        buttons = QMessageBox::Retry | QMessageBox::Cancel;
        preferred = QMessageBox::Retry;
        break;
    default:
        buttons = QMessageBox::Ok;
        preferred = QMessageBox::Ok;
        break;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & MB_ICON_MASK) {
    case MB_ICONERROR:
        icon = QMessageBox::Critical;
        break;
    case MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
    case MB_ICONWARNING:
        icon = QMessageBox::Warning;
        break;
    case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QString title =
        caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption);
    QMessageBox box(icon, title, QString::fromStdString(text), buttons,
                    QApplication::activeWindow());
    box.setDefaultButton(preferred);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Retry:
        return IDRETRY;
    default:
        return IDCANCEL; // also the window's close button
    }
}

void QtMessageBoxes::Beep(unsigned) {
    QApplication::beep();
}

} // namespace platform
