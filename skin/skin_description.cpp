#include "skin/skin_description.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

namespace skin {

namespace {

// Skin files stay inside the skin's folder: no separators, no parent references.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') && name != "." &&
           name != "..";
}

bool ReadFile(const QString& path, QByteArray& out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    out = file.readAll();
    return true;
}

bool ReadInts(const QJsonValue& value, int count, int* out) {
    if (!value.isArray()) return false;
    QJsonArray items = value.toArray();
    if (items.size() != count) return false;
    for (int i = 0; i < count; ++i) {
        double d = items[i].toDouble(-1);
        if (!items[i].isDouble() || d < 0 || d > 100000 || d != std::floor(d)) return false;
        out[i] = static_cast<int>(d);
    }
    return true;
}

bool ReadStyleSheets(const QString& folder, const QJsonValue& value, QString& out, QString& error) {
    QStringList files;
    if (value.isString()) {
        files << value.toString();
    } else if (value.isArray()) {
        for (const QJsonValue& v : value.toArray()) {
            if (!v.isString()) {
                error = "style sheet names must be texts";
                return false;
            }
            files << v.toString();
        }
    } else if (!value.isUndefined()) {
        error = "bad style sheet entry";
        return false;
    }
    for (const QString& file : files) {
        QByteArray text;
        if (!IsPlainFileName(file) || !ReadFile(folder + file, text)) {
            error = "cannot read style sheet \"" + file + "\"";
            return false;
        }
        out += QString::fromUtf8(text);
        out += '\n';
    }
    return true;
}

bool ReadButton(const QString& folder, const QJsonObject& json, SkinButtonSpec& button,
                QString& error) {
    button.name = json.value("name").toString();
    if (button.name.isEmpty()) {
        error = "a button without a name";
        return false;
    }
    button.text = json.value("text").toString();
    button.styleClass = json.value("class").toString();
    QString icon = json.value("icon").toString();
    if (!icon.isEmpty()) {
        if (!IsPlainFileName(icon) || !QFile::exists(folder + icon)) {
            error = "button \"" + button.name + "\": no icon \"" + icon + "\"";
            return false;
        }
        button.iconPath = folder + icon;
    }
    int r[4];
    if (!ReadInts(json.value("rect"), 4, r) || r[2] == 0 || r[3] == 0) {
        error = "button \"" + button.name + "\": bad rect";
        return false;
    }
    button.rect = QRect(r[0], r[1], r[2], r[3]);
    double command = json.value("command").toDouble(0);
    if (command < 1 || command > 65535 || command != std::floor(command)) {
        error = "button \"" + button.name + "\": bad command";
        return false;
    }
    button.command = static_cast<int>(command);
    return true;
}

bool ReadObject(const QString& folder, const QJsonObject& json, SkinObject& object,
                QString& error) {
    object.name = json.value("name").toString();
    if (object.name.isEmpty()) {
        error = "a skin object without a name";
        return false;
    }
    if (!ReadStyleSheets(folder, json.value("styleSheet"), object.styleSheet, error)) return false;
    QString units = json.value("units").toString("px");
    if (units == "dlu") {
        object.units = SkinUnits::DialogUnits;
    } else if (units != "px") {
        error = "object \"" + object.name + "\": unknown units \"" + units + "\"";
        return false;
    }
    if (json.contains("size")) {
        int s[2];
        if (!ReadInts(json.value("size"), 2, s) || s[0] == 0 || s[1] == 0) {
            error = "object \"" + object.name + "\": bad size";
            return false;
        }
        object.size = QSize(s[0], s[1]);
    }
    if (json.contains("buttons") && !json.value("buttons").isArray()) {
        error = "object \"" + object.name + "\": buttons must be a list";
        return false;
    }
    QSet<QString> names;
    for (const QJsonValue& v : json.value("buttons").toArray()) {
        SkinButtonSpec button;
        if (!v.isObject() || !ReadButton(folder, v.toObject(), button, error)) {
            if (error.isEmpty()) error = "object \"" + object.name + "\": bad button";
            return false;
        }
        if (names.contains(button.name)) {
            error = "object \"" + object.name + "\": button \"" + button.name + "\" twice";
            return false;
        }
        names.insert(button.name);
        object.buttons.push_back(button);
    }
    return true;
}

} // namespace

const SkinObject* SkinDescription::Find(const QString& objectName) const {
    for (const SkinObject& object : objects)
        if (object.name == objectName) return &object;
    return nullptr;
}

bool ReadSkinDescription(const QString& folder, SkinDescription& out, QString& error) {
    error.clear();
    QByteArray text;
    if (!ReadFile(folder + "skin.json", text)) {
        error = "cannot read " + folder + "skin.json";
        return false;
    }
    QJsonParseError parseError{};
    QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        error = "skin.json: " + parseError.errorString();
        return false;
    }
    QJsonObject root = doc.object();
    SkinDescription description;
    description.name = root.value("name").toString();
    QJsonValue objects = root.value("objects");
    if (!objects.isArray() || objects.toArray().isEmpty()) {
        error = "skin.json: no skin objects";
        return false;
    }
    for (const QJsonValue& v : objects.toArray()) {
        SkinObject object;
        if (!v.isObject()) {
            error = "skin.json: a skin object is not an object";
            return false;
        }
        if (!ReadObject(folder, v.toObject(), object, error)) return false;
        if (description.Find(object.name)) {
            error = "skin.json: object \"" + object.name + "\" twice";
            return false;
        }
        description.objects.push_back(std::move(object));
    }
    out = std::move(description);
    return true;
}

QRect DialogUnitsToPixels(const QRect& units, const QFontMetrics& metrics) {
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    int baseY = metrics.height();
    auto x = [&](int v) { return v * baseX / 4; };
    auto y = [&](int v) { return v * baseY / 8; };
    return QRect(QPoint(x(units.left()), y(units.top())),
                 QPoint(x(units.left() + units.width()) - 1, y(units.top() + units.height()) - 1));
}

QSize DialogUnitsToPixels(const QSize& units, const QFontMetrics& metrics) {
    return DialogUnitsToPixels(QRect(QPoint(0, 0), units), metrics).size();
}

} // namespace skin
