#include "controls/art_resources.h"

#include <QPainter>
#include <QSvgRenderer>

// Outside any namespace, as the resource initialiser must be called.
static void InitArtResources() {
    Q_INIT_RESOURCE(art);
}

namespace controls {

namespace {

QString IconPath(int id) {
    return QString(":/icons/%1.svg").arg(id);
}

QString BitmapPath(int id) {
    return QString(":/bitmaps/%1.svg").arg(id);
}

QSize SvgSize(const QString& path) {
    InitArtResources();
    QSvgRenderer renderer(path);
    return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QPixmap Render(const QString& path, QSize size) {
    InitArtResources();
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    if (!size.isValid()) size = renderer.defaultSize();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

} // namespace

QSize IconResourceSize(int iconId) {
    return SvgSize(IconPath(iconId));
}

QSize BitmapResourceSize(int bitmapId) {
    return SvgSize(BitmapPath(bitmapId));
}

QIcon LoadIconResource(int iconId) {
    QSize size = IconResourceSize(iconId);
    if (!size.isValid()) return {};
    QIcon icon;
    icon.addPixmap(Render(IconPath(iconId), size));
    QPixmap twice = Render(IconPath(iconId), size * 2);
    twice.setDevicePixelRatio(2);
    icon.addPixmap(twice);
    return icon;
}

QPixmap LoadBitmapResource(int bitmapId, QSize size) {
    return Render(BitmapPath(bitmapId), size);
}

} // namespace controls
