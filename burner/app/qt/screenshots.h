// Pictures of the main window and the windows it opens, for looking at the program without
// clicking through it: <dir>/<mode>_<window id>.png.
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

class CBurnerDlg;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

// Lets the window paint and saves it; false when the file cannot be written.
bool SaveWindowPicture(QWidget& window, const QString& path);

// The modal hooks of screenshot mode: show, save, close.
std::function<void(QDialog&)> ScreenshotModal(const QString& dir, const QString& prefix);
std::function<void(QMenu&, const QPoint&)> ScreenshotMenu(const QString& dir,
                                                          const QString& prefix);

// Drops the files on the list, waits (at most a minute) for their checks, then saves the main
// window, the list's menu, the scanning and loading windows and the About box. Returns the
// number of pictures that could not be saved.
int TakeScreenshots(CBurnerDlg& dlg, const QString& dir, const QString& prefix,
                    const std::vector<std::string>& files);
