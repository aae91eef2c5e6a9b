// The programs' artwork: icons and bitmaps kept as SVG Qt resources named by their numbers
// (":/icons/131.svg", ":/bitmaps/132.svg"), rendered here without relying on image plugins.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace controls {

// The size the artwork is drawn for; invalid when there is no such resource.
QSize IconResourceSize(int iconId);
QSize BitmapResourceSize(int bitmapId);

// An icon holding its own size and its double; a null icon when there is none.
QIcon LoadIconResource(int iconId);
// The bitmap drawn at size (its own size when size is invalid); a null pixmap when there is none.
QPixmap LoadBitmapResource(int bitmapId, QSize size = QSize());

} // namespace controls
