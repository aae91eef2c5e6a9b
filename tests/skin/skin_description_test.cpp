#include "skin/skin_description.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// A skin folder made of the given files.
struct SkinFolder {
    QTemporaryDir dir;
    explicit SkinFolder(const std::map<std::string, std::string>& files) {
        for (const auto& [name, text] : files) {
            QFile file(dir.filePath(QString::fromStdString(name)));
            if (file.open(QIODevice::WriteOnly)) file.write(text.c_str());
        }
    }
    QString Path() const { return dir.path() + "/"; }
};

std::string WithButton(const std::string& button) {
    return R"({"objects": [{"name": "MainWnd", "buttons": [)" + button + "]}]}";
}

TEST(SkinDescription, ReadsObjectsSheetsInOrderAndButtons) {
    SkinFolder folder({{"skin.json", R"({"name": "Test", "objects": [
        {"name": "Dialog", "styleSheet": "a.qss"},
        {"name": "MainWnd", "styleSheet": ["a.qss", "b.qss"], "units": "dlu", "size": [320, 239],
         "buttons": [{"name": "DVD-Burner", "text": "DVD", "class": "burner", "icon": "i.svg",
                      "rect": [1, 2, 30, 40], "command": 6061}]}]})"},
                       {"a.qss", "QDialog { color: red; }"},
                       {"b.qss", "QPushButton { color: blue; }"},
                       {"i.svg", "<svg/>"}});
    skin::SkinDescription d;
    QString error;
    ASSERT_TRUE(skin::ReadSkinDescription(folder.Path(), d, error)) << error.toStdString();
    EXPECT_EQ(d.name, "Test");
    ASSERT_NE(d.Find("Dialog"), nullptr);
    EXPECT_EQ(d.Find("dialog"), nullptr);
    const skin::SkinObject* main = d.Find("MainWnd");
    ASSERT_NE(main, nullptr);
    EXPECT_LT(main->styleSheet.indexOf("red"), main->styleSheet.indexOf("blue"));
    EXPECT_EQ(main->units, skin::SkinUnits::DialogUnits);
    EXPECT_EQ(main->size, QSize(320, 239));
    ASSERT_EQ(main->buttons.size(), 1u);
    const skin::SkinButtonSpec& b = main->buttons[0];
    EXPECT_EQ(b.name, "DVD-Burner");
    EXPECT_EQ(b.styleClass, "burner");
    EXPECT_EQ(b.rect, QRect(1, 2, 30, 40));
    EXPECT_EQ(b.command, 6061);
    EXPECT_EQ(b.iconPath, folder.Path() + "i.svg");
}

TEST(SkinDescription, RefusesMalformedSkins) {
    const std::string ok = R"("rect": [0, 0, 10, 10], "command": 6061)";
    struct Case {
        const char* what;
        std::string json;
    } cases[] = {
        {"not JSON", "{objects"},
        {"no objects", R"({"objects": []})"},
        {"object without a name", R"({"objects": [{"styleSheet": "a.qss"}]})"},
        {"object twice", R"({"objects": [{"name": "D"}, {"name": "D"}]})"},
        {"missing sheet", R"({"objects": [{"name": "D", "styleSheet": "none.qss"}]})"},
        {"sheet outside the folder", R"({"objects": [{"name": "D", "styleSheet": "../a.qss"}]})"},
        {"unknown units", R"({"objects": [{"name": "D", "units": "cm"}]})"},
        {"empty size", R"({"objects": [{"name": "D", "size": [0, 10]}]})"},
        {"buttons not a list", R"({"objects": [{"name": "D", "buttons": "x"}]})"},
        {"button without a name", WithButton("{" + ok + "}")},
        {"button twice", WithButton(R"({"name": "A", )" + ok + R"(}, {"name": "A", )" + ok + "}")},
        {"command 0", WithButton(R"({"name": "A", "rect": [0, 0, 10, 10], "command": 0})")},
        {"command too big", WithButton(R"({"name": "A", "rect": [0, 0, 1, 1], "command": 65536})")},
        {"empty rect", WithButton(R"({"name": "A", "rect": [0, 0, 0, 10], "command": 1})")},
        {"short rect", WithButton(R"({"name": "A", "rect": [0, 0, 10], "command": 1})")},
        {"negative rect", WithButton(R"({"name": "A", "rect": [-1, 0, 10, 10], "command": 1})")},
        {"missing icon", WithButton(R"({"name": "A", "icon": "x.svg", )" + ok + "}")},
        {"icon outside the folder",
         WithButton(R"({"name": "A", "icon": "/etc/passwd", )" + ok + "}")},
    };
    for (const Case& c : cases) {
        SkinFolder folder({{"skin.json", c.json}, {"a.qss", "QDialog {}"}});
        skin::SkinDescription d;
        QString error;
        EXPECT_FALSE(skin::ReadSkinDescription(folder.Path(), d, error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
    skin::SkinDescription d;
    QString error;
    EXPECT_FALSE(skin::ReadSkinDescription("/nonexistent/skin/", d, error));
}

} // namespace
