#include "controls/file_dialog_ex.h"

#include "controls/file_filter.h"
#include "platform/message_boxes.h"

CFileDialogEx::CFileDialogEx(bool openFileDialog, const QString& defaultExt,
                             const QString& fileName, unsigned flags, const QString& filter,
                             QWidget* parent)
    : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(openFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (openFileDialog) {
        if (flags & OFN_ALLOWMULTISELECT)
            setFileMode(QFileDialog::ExistingFiles);
        else
            setFileMode((flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                    : QFileDialog::AnyFile);
    } else {
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite, !(flags & OFN_OVERWRITEPROMPT));
    }
    setOption(QFileDialog::ReadOnly, false);
    if (!defaultExt.isEmpty()) setDefaultSuffix(defaultExt);
    QStringList filters = NameFiltersFromFilterText(filter);
    if (!filters.isEmpty()) setNameFilters(filters);
    setSidebarUrls(FileDialogPlaces());
    if (!fileName.isEmpty()) selectFile(fileName);
}

int CFileDialogEx::DoModal() {
    m_paths.clear();
    if (exec() != QDialog::Accepted) return platform::IDCANCEL;
    m_paths = selectedFiles();
    return m_paths.isEmpty() ? platform::IDCANCEL : platform::IDOK;
}
