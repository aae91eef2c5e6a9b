// The file dialog's filter text and places, turned into what QFileDialog takes.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// "MPEG files(*.mpeg,*.mpg)|*.mpeg;*.mpg;||" gives one Qt name filter per description and
// pattern list: "MPEG files(*.mpeg,*.mpg) (*.mpeg *.mpg *.MPEG *.MPG)". Each pattern also comes
// in upper case, so that case-sensitive file systems show "CLIP.MPG" too.
QStringList NameFiltersFromFilterText(const QString& filter);

// The patterns of one name filter made by NameFiltersFromFilterText.
QStringList PatternsOfNameFilter(const QString& nameFilter);

// The places of the dialog's sidebar, in order: home, desktop, documents, videos, the file
// system root; only folders that exist, each once.
QList<QUrl> FileDialogPlaces();
