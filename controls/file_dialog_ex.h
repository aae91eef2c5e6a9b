// The burner's file dialog: Qt's own dialog (so the places sidebar is always there), with the
// open and save modes, flags and filter text the programs pass.
#pragma once

#include <QFileDialog>

// The flags the programs pass, with their usual numbers.
enum : unsigned {
    OFN_OVERWRITEPROMPT = 0x00000002,
    OFN_HIDEREADONLY = 0x00000004,
    OFN_ALLOWMULTISELECT = 0x00000200,
    OFN_PATHMUSTEXIST = 0x00000800,
    OFN_FILEMUSTEXIST = 0x00001000,
};

class CFileDialogEx : public QFileDialog {
    Q_OBJECT
  public:
    CFileDialogEx(bool openFileDialog, const QString& defaultExt = QString(),
                  const QString& fileName = QString(),
                  unsigned flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                  const QString& filter = QString(), QWidget* parent = nullptr);

    void SetTitle(const QString& title) { setWindowTitle(title); }
    // IDOK when the user chose, IDCANCEL otherwise (platform/message_boxes.h numbers).
    int DoModal();
    // The chosen files, in the order the dialog returns them; empty after a cancel.
    QStringList GetPathNames() const { return m_paths; }
    QString GetPathName() const { return m_paths.isEmpty() ? QString() : m_paths.front(); }

  private:
    QStringList m_paths;
};
