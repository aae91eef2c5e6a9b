#include "controls/file_dialog_ex.h"
#include "controls/file_filter.h"

#include "controls_test_app.h"

#include "platform/message_boxes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kMpegFilter = "MPEG files(*.mpeg,*.mpg)|*.mpeg;*.mpg;||";

TEST(FileFilter, TheMpegFilterAlsoMatchesUpperCaseNames) {
    QStringList filters = NameFiltersFromFilterText(kMpegFilter);
    ASSERT_EQ(filters, QStringList{"MPEG files(*.mpeg,*.mpg) (*.mpeg *.mpg *.MPEG *.MPG)"});
    EXPECT_EQ(PatternsOfNameFilter(filters[0]),
              (QStringList{"*.mpeg", "*.mpg", "*.MPEG", "*.MPG"}));

    // Matched as a case-sensitive file system lists them.
    QTemporaryDir dir;
    for (const char* name : {"a.mpg", "B.MPG", "c.MPEG", "d.mpeg", "e.txt", "f.mpg.txt"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList shown = QDir(dir.path())
                            .entryList(PatternsOfNameFilter(filters[0]),
                                       QDir::Files | QDir::CaseSensitive, QDir::Name);
    EXPECT_EQ(shown, (QStringList{"B.MPG", "a.mpg", "c.MPEG", "d.mpeg"}));

    EXPECT_EQ(NameFiltersFromFilterText("Images|*.png;*.JPG|All|*.*||"),
              (QStringList{"Images (*.png *.JPG *.PNG)", "All (*.*)"}));
    EXPECT_TRUE(NameFiltersFromFilterText("").isEmpty());
}

TEST(FileFilter, PlacesStartAtHomeAndOnlyNameFolders) {
    QList<QUrl> places = FileDialogPlaces();
    ASSERT_FALSE(places.isEmpty());
    EXPECT_EQ(places.front(), QUrl::fromLocalFile(QDir::homePath()));
    EXPECT_EQ(places.back(), QUrl::fromLocalFile(QDir::rootPath()));
    for (const QUrl& url : places)
        EXPECT_TRUE(QDir(url.toLocalFile()).exists()) << url.toString().toStdString();
    EXPECT_EQ(places.size(), QSet<QUrl>(places.begin(), places.end()).size());
}

class FileDialogEx : public ::testing::Test {
  protected:
    void SetUp() override {
        ControlsTestApp();
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"one.mpg", "TWO.MPG"}) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    // Runs the dialog; while it shows, choose picks files and accepts, or it is cancelled.
    int Run(CFileDialogEx& dialog, QStringList choose) {
        QTimer::singleShot(0, &dialog, [&dialog, choose] {
            if (choose.isEmpty()) {
                dialog.reject();
                return;
            }
            QStringList quoted;
            for (const QString& name : choose)
                quoted << '"' + name + '"';
            dialog.selectFile(choose.size() == 1 ? choose[0] : quoted.join(' '));
            static_cast<QDialog&>(dialog).accept();
        });
        return dialog.DoModal();
    }
    QTemporaryDir dir;
};

TEST_F(FileDialogEx, ReturnsOkWithTheChosenFilesAndCancelWithNone) {
    CFileDialogEx single(true, QString(), QString(), OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                         kMpegFilter);
    single.SetTitle("Add MPEG files");
    single.setDirectory(dir.path());
    EXPECT_EQ(single.windowTitle(), "Add MPEG files");
    EXPECT_EQ(single.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(single.sidebarUrls(), FileDialogPlaces());
    EXPECT_EQ(single.nameFilters(), NameFiltersFromFilterText(kMpegFilter));
    EXPECT_EQ(Run(single, {"TWO.MPG"}), platform::IDOK);
    EXPECT_EQ(single.GetPathName(), dir.filePath("TWO.MPG"));
    EXPECT_EQ(Run(single, {}), platform::IDCANCEL);
    EXPECT_TRUE(single.GetPathNames().isEmpty());

    CFileDialogEx many(true, QString(), QString(),
                       OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST, kMpegFilter);
    many.setDirectory(dir.path());
    EXPECT_EQ(many.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(Run(many, {"one.mpg", "TWO.MPG"}), platform::IDOK);
    EXPECT_EQ(many.GetPathNames(), (QStringList{dir.filePath("one.mpg"), dir.filePath("TWO.MPG")}));

    CFileDialogEx save(false, "cue", "image");
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.defaultSuffix(), "cue");
}

} // namespace
