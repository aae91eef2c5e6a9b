#include "controls/art_resources.h"

#include "controls_test_app.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>

namespace {

// How much of the picture is drawn, and in how many colours.
struct Coverage {
    int drawn = 0;
    std::size_t colours = 0;
};

Coverage Measure(const QImage& image) {
    Coverage c;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 0) ++c.drawn;
            colours.insert(p);
        }
    c.colours = colours.size();
    return c;
}

TEST(ArtResources, EveryIconTheProgramsUseIsThereInItsSize) {
    ControlsTestApp();
    struct Case {
        int id;
        int size;
    } cases[] = {{128, 64}, {131, 32}, {132, 32}, {133, 32}, {134, 32},
                 {135, 32}, {136, 32}, {137, 32}, {148, 32}, {138, 16},
                 {139, 16}, {140, 16}, {141, 16}, {142, 16}, {143, 16}};
    for (const Case& c : cases) {
        EXPECT_EQ(controls::IconResourceSize(c.id), QSize(c.size, c.size)) << c.id;
        QIcon icon = controls::LoadIconResource(c.id);
        ASSERT_FALSE(icon.isNull()) << c.id;
        QImage image = icon.pixmap(c.size, c.size).toImage();
        Coverage coverage = Measure(image);
        EXPECT_GT(coverage.drawn, c.size * c.size / 10) << c.id;
        EXPECT_LT(coverage.drawn, c.size * c.size) << c.id << " leaves a transparent edge";
    }
    EXPECT_TRUE(controls::LoadIconResource(129).isNull()) << "129 is the skin, not an icon";
    EXPECT_FALSE(controls::IconResourceSize(144).isValid());
}

TEST(ArtResources, TheLaunchersFourPicturesDiffer) {
    ControlsTestApp();
    const QSize size(268, 187);
    std::vector<QImage> pictures;
    for (int id : {132, 133, 134, 135}) {
        QPixmap pixmap = controls::LoadBitmapResource(id, size);
        ASSERT_FALSE(pixmap.isNull()) << id;
        EXPECT_EQ(pixmap.size(), size);
        pictures.push_back(pixmap.toImage());
        EXPECT_GT(Measure(pictures.back()).colours, 20u) << id;
    }
    for (std::size_t a = 0; a < pictures.size(); ++a)
        for (std::size_t b = a + 1; b < pictures.size(); ++b)
            EXPECT_NE(pictures[a], pictures[b]) << a << " " << b;
    EXPECT_TRUE(controls::LoadBitmapResource(136).isNull());
    // Bitmap 132 and icon 132 are different resources.
    EXPECT_NE(controls::BitmapResourceSize(132), controls::IconResourceSize(132));
}

} // namespace
