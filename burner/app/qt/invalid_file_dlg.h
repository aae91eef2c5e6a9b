// The "Invalid MPEG file" dialog (156): names a refused file, says how to convert it and, when
// the check gave one, why it was refused.
#pragma once

#include "burner/app/invalid_file_view.h"

#include <QDialog>

class CInvalidFileDlg : public QDialog {
    Q_OBJECT
  public:
    CInvalidFileDlg(const InvalidFileView& view, QWidget* parent);
    std::string m_strFile;
};
