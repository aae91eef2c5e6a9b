// The two small modeless windows the main window shows while files are checked: the scanning
// window (dialog 144, VCD and SVCD, with its progress bar) and the loading window (dialog 153,
// DVD). Both are white, without caption, and exist hidden for the main window's life.
#pragma once

#include <QDialog>

class QProgressBar;
class QLabel;

class CScanningWnd : public QDialog {
    Q_OBJECT
  public:
    explicit CScanningWnd(QWidget* parent);
    void SetPercent(int percent);
    int Percent() const;

  private:
    QProgressBar* m_progress;
};

class CLoadingWnd : public QDialog {
    Q_OBJECT
  public:
    explicit CLoadingWnd(QWidget* parent);
};

// Shows the window centred over the main window's client area (its size is kept), or hides it.
void ShowCentredOver(QWidget& window, const QWidget& main, bool visible);
