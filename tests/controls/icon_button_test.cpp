#include "controls/icon_button.h"

#include "controls_test_app.h"

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const QRect kClient(0, 0, 80, 60);
const QSize kIcon(32, 32);

TEST(IconButtonPlan, PlacesTheImageByAlignAndMovesItWhilePressed) {
    struct Case {
        const char* what;
        bool caption;
        int align;
        bool down;
        bool checkBox;
        QRect image;
        QRect caption_;
    } cases[] = {
        {"no caption: centred", false, ICON_ALIGN_ABOVE, false, false, QRect(24, 14, 32, 32), {}},
        {"left", true, ICON_ALIGN_LEFT, false, false, QRect(3, 14, 32, 32),
         QRect(QPoint(38, 0), QPoint(79, 59))},
        {"above", true, ICON_ALIGN_ABOVE, false, false, QRect(24, 3, 32, 32),
         QRect(QPoint(0, 38), QPoint(79, 59))},
        {"right", true, ICON_ALIGN_RIGHT, false, false, QRect(45, 14, 32, 32),
         QRect(QPoint(0, 0), QPoint(41, 59))},
        {"pressed", true, ICON_ALIGN_ABOVE, true, false, QRect(25, 4, 32, 32),
         QRect(QPoint(1, 39), QPoint(80, 60))},
        {"pressed check box: the image stays", true, ICON_ALIGN_ABOVE, true, true,
         QRect(24, 3, 32, 32), QRect(QPoint(1, 39), QPoint(80, 60))},
    };
    for (const Case& c : cases) {
        IconButtonState s;
        s.down = c.down;
        s.checkBoxMode = c.checkBox;
        IconButtonPlan plan = PlanIconButton(s, kClient, kIcon, c.caption, c.align);
        EXPECT_EQ(plan.image, c.image) << c.what;
        EXPECT_EQ(plan.caption, c.caption_) << c.what;
    }
}

TEST(IconButtonPlan, BordersColoursAndFocusFollowTheState) {
    struct Case {
        const char* what;
        IconButtonState s;
        ButtonBorder border;
        ButtonColours colours;
        bool blackFrame;
        bool focusRect;
    } cases[] = {
        {"flat at rest", {}, ButtonBorder::None, ButtonColours::Out, false, false},
        {"flat hovered",
         {.hovered = true},
         ButtonBorder::RaisedThin,
         ButtonColours::In,
         false,
         false},
        {"flat pressed", {.down = true}, ButtonBorder::SunkenThin, ButtonColours::In, false, false},
        {"ticked check box",
         {.checkBoxMode = true, .checked = true},
         ButtonBorder::SunkenThin,
         ButtonColours::In,
         false,
         false},
        {"flat focused", {.focused = true}, ButtonBorder::None, ButtonColours::Focus, false, false},
        {"flat focused, focus drawn",
         {.flatFocus = true, .focused = true},
         ButtonBorder::None,
         ButtonColours::Focus,
         false,
         true},
        {"classic at rest",
         {.flat = false},
         ButtonBorder::ClassicRaised,
         ButtonColours::Out,
         false,
         false},
        {"classic pressed",
         {.flat = false, .down = true},
         ButtonBorder::ShadowFrame,
         ButtonColours::In,
         false,
         false},
        {"classic default",
         {.flat = false, .isDefault = true},
         ButtonBorder::ClassicRaised,
         ButtonColours::Out,
         true,
         false},
        {"classic focused",
         {.flat = false, .focused = true},
         ButtonBorder::ClassicRaised,
         ButtonColours::Focus,
         true,
         true},
        {"transparent classic focused",
         {.flat = false, .transparent = true, .focused = true},
         ButtonBorder::ClassicRaised,
         ButtonColours::Focus,
         false,
         true},
        {"no border",
         {.drawBorder = false, .hovered = true},
         ButtonBorder::None,
         ButtonColours::In,
         false,
         false},
    };
    for (const Case& c : cases) {
        IconButtonPlan plan = PlanIconButton(c.s, kClient, kIcon, true, ICON_ALIGN_ABOVE);
        EXPECT_EQ(plan.border, c.border) << c.what;
        EXPECT_EQ(plan.colours, c.colours) << c.what;
        EXPECT_EQ(plan.blackFrame, c.blackFrame) << c.what;
        EXPECT_EQ(!plan.focusRect.isEmpty(), c.focusRect) << c.what;
        EXPECT_EQ(plan.fillBackground, !c.s.transparent) << c.what;
    }
    IconButtonPlan focus =
        PlanIconButton({.flat = false, .focused = true}, kClient, kIcon, true, ICON_ALIGN_ABOVE);
    EXPECT_EQ(focus.focusRect, QRect(3, 3, 74, 54));
    EXPECT_TRUE(PlanIconButton({.disabled = true}, kClient, kIcon, true, 1).greyed);
}

TEST(IconButtonHover, FollowsTheMouseOnlyForFlatButtons) {
    IconButtonHover hover;
    EXPECT_FALSE(hover.MouseMove(true, true, true)) << "a drag onto the button does not hover it";
    EXPECT_TRUE(hover.MouseMove(false, true, false)) << "always tracked";
    EXPECT_TRUE(hover.hovered);
    EXPECT_FALSE(hover.MouseMove(true, true, true)) << "still hovered while pressed";
    EXPECT_TRUE(hover.MouseMove(true, false, true)) << "dragged off";
    EXPECT_FALSE(hover.hovered);

    IconButtonHover onlyActive{.alwaysTrack = false};
    EXPECT_FALSE(onlyActive.MouseMove(false, true, false));
    EXPECT_TRUE(onlyActive.MouseMove(false, true, true));
    EXPECT_TRUE(onlyActive.Clear());
    EXPECT_FALSE(onlyActive.Clear());

    IconButtonHover classic{.flat = false};
    EXPECT_FALSE(classic.MouseMove(false, true, true));
    EXPECT_FALSE(classic.hovered);
}

class IconButtonWidget : public ::testing::Test {
  protected:
    void SetUp() override { ControlsTestApp(); }
};

QImage Render(QWidget& w) {
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    w.render(&image);
    return image;
}

TEST_F(IconButtonWidget, LoadsItsIconInItsOwnSizeAndRefusesBadAligns) {
    CIconButton button("Burn", nullptr);
    EXPECT_TRUE(button.SetIcon(133));
    EXPECT_EQ(button.IconSize(), QSize(32, 32));
    EXPECT_TRUE(button.SetIcon(140));
    EXPECT_EQ(button.IconSize(), QSize(16, 16));
    EXPECT_FALSE(button.SetIcon(999));
    EXPECT_EQ(button.IconSize(), QSize(16, 16)) << "a missing icon keeps the one there";
    EXPECT_EQ(button.SetAlign(ICON_ALIGN_ABOVE), kIconButtonOk);
    EXPECT_EQ(button.SetAlign(3), kIconButtonInvalidAlign);
    EXPECT_EQ(button.GetAlign(), ICON_ALIGN_ABOVE);
    button.SetTooltipText("Start Burning...", false);
    EXPECT_TRUE(button.toolTip().isEmpty());
    button.SetTooltipText("Start Burning...");
    EXPECT_EQ(button.toolTip(), "Start Burning...");
}

TEST_F(IconButtonWidget, DrawsARaisedFrameWhileHoveredAndASunkenOneWhilePressed) {
    QWidget window;
    auto* button = new CIconButton("Add Files", &window);
    button->SetIcon(131);
    button->SetAlign(ICON_ALIGN_ABOVE);
    button->setGeometry(10, 10, 90, 70);
    window.resize(120, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QColor light = button->palette().color(QPalette::Light);
    const QColor shadow = button->palette().color(QPalette::Dark);
    const QColor face = button->palette().color(QPalette::Button);

    QImage rest = Render(*button);
    EXPECT_EQ(rest.pixel(0, 0), face.rgb());
    EXPECT_EQ(rest.pixel(89, 69), face.rgb());

    QTest::mouseMove(&window, QPoint(50, 40));
    ASSERT_TRUE(button->IsHovered());
    QImage hovered = Render(*button);
    EXPECT_EQ(hovered.pixel(0, 30), light.rgb());
    EXPECT_EQ(hovered.pixel(89, 30), shadow.rgb());

    button->setDown(true);
    QImage pressed = Render(*button);
    EXPECT_EQ(pressed.pixel(0, 30), shadow.rgb());
    EXPECT_EQ(pressed.pixel(89, 30), light.rgb());
    button->setDown(false);

    // Transparent: what lies behind shows where a resting button would fill.
    window.setAutoFillBackground(true);
    QPalette back = window.palette();
    back.setColor(QPalette::Window, QColor(10, 200, 30));
    window.setPalette(back);
    button->DrawTransparent();
    QTest::mouseMove(&window, QPoint(110, 95));
    QImage image(window.size(), QImage::Format_RGB32);
    window.render(&image);
    EXPECT_EQ(image.pixel(12, 12), qRgb(10, 200, 30));
}

TEST_F(IconButtonWidget, ADisabledButtonGreysItsIconEmbossesItsCaptionAndGivesTheFocusAway) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new CIconButton("Remove", &window);
    auto* second = new CIconButton("Burn", &window);
    first->SetIcon(132);
    first->SetAlign(ICON_ALIGN_ABOVE);
    layout->addWidget(first);
    layout->addWidget(second);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    first->setFocus();
    ASSERT_TRUE(first->hasFocus());

    QImage enabled = Render(*first);
    first->setEnabled(false);
    EXPECT_FALSE(first->hasFocus());
    EXPECT_TRUE(second->hasFocus());
    EXPECT_TRUE(first->CurrentPlan().greyed);
    QImage disabled = Render(*first);
    // The caption's emboss uses the highlight colour, which the enabled caption never does.
    const QColor light = first->palette().color(QPalette::Light);
    const QRect caption = first->CurrentPlan().caption;
    int lightBefore = 0, lightAfter = 0, iconDiffers = 0;
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x) {
            lightBefore += enabled.pixel(x, y) == light.rgb();
            lightAfter += disabled.pixel(x, y) == light.rgb();
        }
    const QRect icon = first->CurrentPlan().image;
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            iconDiffers += enabled.pixel(x, y) != disabled.pixel(x, y);
    EXPECT_GT(lightAfter, lightBefore);
    EXPECT_GT(iconDiffers, 20);
}

TEST_F(IconButtonWidget, AtMostOneOfSeveralFlatButtonsIsHovered) {
    QWidget window;
    std::vector<CIconButton*> buttons;
    for (int i = 0; i < 4; ++i) {
        auto* b = new CIconButton(&window);
        b->SetIcon(138 + i);
        b->setGeometry(i * 30, 0, 30, 30);
        buttons.push_back(b);
    }
    window.resize(120, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int x = 2; x < 120; x += 7) {
        QTest::mouseMove(&window, QPoint(x, 15));
        int hovered = 0;
        for (CIconButton* b : buttons)
            hovered += b->IsHovered();
        EXPECT_EQ(hovered, 1) << x;
    }
    QTest::mouseMove(&window, QPoint(60, 50));
    for (CIconButton* b : buttons)
        EXPECT_FALSE(b->IsHovered());
}

TEST_F(IconButtonWidget, FastClicksAllCountAndACheckBoxToggles) {
    CIconButton button("Play", nullptr);
    button.resize(60, 40);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicks(&button, &QPushButton::clicked);
    // What a fast double click delivers: down, up, double click, up.
    const QPointF at(30, 20);
    const QPointF global = button.mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }
    EXPECT_EQ(clicks.count(), 2);
    const int afterDouble = clicks.count();
    EXPECT_TRUE(button.hasFocus());

    button.setCheckable(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isChecked());
    EXPECT_TRUE(button.CurrentPlan().pressed);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.isChecked());
    EXPECT_EQ(clicks.count(), afterDouble + 2);
}

} // namespace
