// A skin as the engine reads it: a folder holding skin.json, which names the skin objects (one
// look of a window each: its style sheets, its fixed size and its named buttons), and the files
// it refers to. Names inside the description are plain file names of that folder.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

namespace skin {

enum class SkinUnits { Pixels, DialogUnits };

struct SkinButtonSpec {
    QString name;       // what the programs ask for ("DVD-Burner")
    QString text;       // caption; may be empty
    QString styleClass; // the button's "skinClass" property, for the style sheets
    QString iconPath;   // full resource or file path of an SVG; empty for none
    QRect rect;         // in the object's units
    int command = 0;    // sent to the window on a click (1 to 65535)
};

struct SkinObject {
    QString name;
    QString styleSheet; // the object's style sheet files, joined in order
    SkinUnits units = SkinUnits::Pixels;
    QSize size; // fixed size of the window in the object's units; invalid: the window's own
    std::vector<SkinButtonSpec> buttons;
};

struct SkinDescription {
    QString name;
    std::vector<SkinObject> objects;
    const SkinObject* Find(const QString& objectName) const; // exact name; null when absent
};

// Reads folder/skin.json (folder ends with '/'; ":/skins/129/" for a resource). False, with the
// reason in error, for anything malformed: unreadable files, names that leave the folder,
// duplicate object or button names, empty rectangles, commands outside 1 to 65535.
bool ReadSkinDescription(const QString& folder, SkinDescription& out, QString& error);

// Dialog units as the platform converts them: a quarter of the average width of the 52 Latin
// letters across, an eighth of the font height down.
QRect DialogUnitsToPixels(const QRect& units, const QFontMetrics& metrics);
QSize DialogUnitsToPixels(const QSize& units, const QFontMetrics& metrics);

} // namespace skin
