#include "burner/app/qt/screenshots.h"

#include "burner/app/qt/burner_dlg.h"
#include "burner/app/qt/check_windows.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QTableWidget>
#include <QThread>

namespace {

void Settle(int ms) {
    QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

QString PathOf(const QString& dir, const QString& prefix, const QString& name) {
    return QDir(dir).filePath(prefix + "_" + name + ".png");
}

} // namespace

bool SaveWindowPicture(QWidget& window, const QString& path) {
    Settle(300);
    return window.grab().save(path, "PNG");
}

std::function<void(QDialog&)> ScreenshotModal(const QString& dir, const QString& prefix) {
    return [dir, prefix](QDialog& dialog) {
        dialog.show();
        SaveWindowPicture(dialog, PathOf(dir, prefix, dialog.objectName()));
        dialog.close();
    };
}

std::function<void(QMenu&, const QPoint&)> ScreenshotMenu(const QString& dir,
                                                          const QString& prefix) {
    return [dir, prefix](QMenu& menu, const QPoint& at) {
        menu.popup(at);
        SaveWindowPicture(menu, PathOf(dir, prefix, "menu"));
        menu.hide();
    };
}

int TakeScreenshots(CBurnerDlg& dlg, const QString& dir, const QString& prefix,
                    const std::vector<std::string>& files) {
    QDir().mkpath(dir);
    int failures = 0;
    dlg.show();
    Settle(300);
    if (!files.empty()) {
        dlg.Logic().OnDropFiles(files);
        QDeadlineTimer until(60000);
        while (dlg.Logic().View().checking && !until.hasExpired())
            Settle(50);
    }
    if (!SaveWindowPicture(dlg, PathOf(dir, prefix, "102"))) ++failures;

    QTableWidget& list = dlg.List();
    dlg.ShowListMenu(list.rowCount() > 0 ? 0 : -1, dlg.mapToGlobal(QPoint(60, 120)));

    CScanningWnd& scan = dlg.ScanningWindow();
    scan.SetPercent(40);
    ShowCentredOver(scan, dlg, true);
    if (!SaveWindowPicture(scan, PathOf(dir, prefix, "144"))) ++failures;
    ShowCentredOver(scan, dlg, false);
    scan.SetPercent(0);

    CLoadingWnd& load = dlg.LoadingWindow();
    ShowCentredOver(load, dlg, true);
    if (!SaveWindowPicture(load, PathOf(dir, prefix, "153"))) ++failures;
    ShowCentredOver(load, dlg, false);

    dlg.Logic().OnAbout();
    return failures;
}
