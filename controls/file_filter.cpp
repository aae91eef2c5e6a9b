#include "controls/file_filter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QStringList NameFiltersFromFilterText(const QString& filter) {
    QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) break; // the "||" that ends the list
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            QString pattern = raw.trimmed();
            if (pattern.isEmpty()) continue;
            if (!patterns.contains(pattern)) patterns << pattern;
        }
        QStringList upper;
        for (const QString& pattern : patterns) {
            QString up = pattern.toUpper();
            if (!patterns.contains(up) && !upper.contains(up)) upper << up;
        }
        patterns += upper;
        if (patterns.isEmpty()) patterns << "*";
        filters << description + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QStringList PatternsOfNameFilter(const QString& nameFilter) {
    int open = nameFilter.lastIndexOf('(');
    int close = nameFilter.lastIndexOf(')');
    if (open < 0 || close < open) return {};
    return nameFilter.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts);
}

QList<QUrl> FileDialogPlaces() {
    QList<QUrl> places;
    auto add = [&](const QString& path) {
        if (path.isEmpty() || !QFileInfo(path).isDir()) return;
        QUrl url = QUrl::fromLocalFile(QDir::cleanPath(path));
        if (!places.contains(url)) places << url;
    };
    add(QDir::homePath());
    add(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    add(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    add(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    add(QDir::rootPath());
    return places;
}
