#include "platform/qt/trash.h"

#include <QFile>
#include <QString>

namespace platform {

bool MoveToTrash(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty()) return false;
    return QFile::moveToTrash(QString::fromStdString(p));
}

} // namespace platform
