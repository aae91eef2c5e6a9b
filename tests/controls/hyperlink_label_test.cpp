#include "controls/hyperlink_label.h"

#include "controls_test_app.h"

#include "platform/message_boxes.h"
#include "platform/registry.h"
#include "platform/shell_open.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::RegistryRoot;

// A shell that records what it is asked and answers from its settings.
class FakeShell : public platform::Shell {
  public:
    std::intptr_t openResult = platform::SE_OK;
    std::intptr_t startResult = platform::SE_OK;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> started; // program, then its arguments
    std::intptr_t Open(const std::string& target) override {
        opened.push_back(target);
        return openResult;
    }
    std::intptr_t Start(const std::string& program, const std::vector<std::string>& args) override {
        std::vector<std::string> line{program};
        line.insert(line.end(), args.begin(), args.end());
        started.push_back(line);
        return startResult;
    }
};

platform::TableRegistry BrowserRegistry(const std::string& command) {
    platform::TableRegistry registry;
    registry.Put(RegistryRoot::ClassesRoot, ".htm", "", "htmlfile");
    registry.Put(RegistryRoot::ClassesRoot, "htmlfile\\shell\\open\\command", "", command);
    return registry;
}

using controls::UrlOpenForm;
using Line = std::vector<std::string>;

TEST(OpenUrl, TheBrowserCommandIsCutAtThePlaceholderAndKeepsTheAddressWhole) {
    const std::string address = "http://example.org/a b;rm -rf ~";
    struct Case {
        std::string command;
        std::string line;
        Line started;
    } cases[] = {
        {"xdg-open \"%1\"", "xdg-open  " + address, {"xdg-open", address}},
        {"\"/opt/My Browser/run\" -new-window \"%1\" --x",
         "\"/opt/My Browser/run\" -new-window  " + address,
         {"/opt/My Browser/run", "-new-window", address}},
        {"browser %1", "browser  " + address, {"browser", address}},
        {"browser", "browser " + address, {"browser", address}},
    };
    for (const Case& c : cases) {
        platform::TableRegistry registry = BrowserRegistry(c.command);
        std::string line;
        ASSERT_TRUE(controls::BrowserCommandLine(registry, address, line)) << c.command;
        EXPECT_EQ(line, c.line);
        FakeShell shell;
        EXPECT_EQ(controls::RunBrowser(shell, registry, address), platform::SE_OK);
        ASSERT_EQ(shell.started.size(), 1u);
        EXPECT_EQ(shell.started[0], c.started);
    }
    platform::TableRegistry none;
    std::string line;
    EXPECT_FALSE(controls::BrowserCommandLine(none, address, line));
}

TEST(OpenUrl, TheLauncherTriesTheShellFirstAndTheBurnerSendsOnlyMailToIt) {
    const std::string web = "https://pellam.example/", mail = "mailto:support@pellam.example";
    platform::TableRegistry browser = BrowserRegistry("xdg-open \"%1\"");
    platform::TableRegistry empty;
    struct Case {
        const char* what;
        UrlOpenForm form;
        std::string address;
        std::intptr_t openResult;
        const platform::Registry* registry;
        std::intptr_t result;
        std::vector<std::string> opened;
        std::vector<Line> started;
    } cases[] = {
        {"launcher, shell opens",
         UrlOpenForm::Launcher,
         web,
         platform::SE_OK,
         &browser,
         platform::SE_OK,
         {web},
         {}},
        {"launcher, browser fallback",
         UrlOpenForm::Launcher,
         web,
         platform::SE_ERR_NOASSOC,
         &browser,
         platform::SE_OK,
         {web},
         {{"xdg-open", web}}},
        {"launcher, no browser: the shell's failure",
         UrlOpenForm::Launcher,
         web,
         2,
         &empty,
         2,
         {web},
         {}},
        {"burner, mail to the shell",
         UrlOpenForm::Burner,
         mail,
         platform::SE_OK,
         &browser,
         platform::SE_OK,
         {mail},
         {}},
        {"burner, web to the browser",
         UrlOpenForm::Burner,
         web,
         platform::SE_OK,
         &browser,
         platform::SE_OK,
         {},
         {{"xdg-open", web}}},
        {"burner, no browser",
         UrlOpenForm::Burner,
         web,
         platform::SE_OK,
         &empty,
         platform::SE_ERR_NOASSOC,
         {},
         {}},
    };
    for (const Case& c : cases) {
        FakeShell shell;
        shell.openResult = c.openResult;
        EXPECT_EQ(controls::OpenUrl(c.form, shell, *c.registry, c.address), c.result) << c.what;
        EXPECT_EQ(shell.opened, c.opened) << c.what;
        EXPECT_EQ(shell.started, c.started) << c.what;
    }
}

TEST(OpenUrl, ErrorTexts) {
    struct Case {
        std::intptr_t code;
        const char* text;
    } cases[] = {
        {0, "Unable to open hyperlink:\nThe operating system is out\nof memory or resources."},
        {26, "Unable to open hyperlink:\nA sharing violation occurred. "},
        {31, "Unable to open hyperlink:\nThere is no application associated\nwith the given "
             "filename extension."},
        {32, "Unable to open hyperlink:\nThe specified dynamic-link library was not found."},
        {4, "Unable to open hyperlink:\nUnknown Error (4) occurred."},
        {-7, "Unable to open hyperlink:\nUnknown Error (-7) occurred."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(controls::OpenErrorText(c.code), c.text) << c.code;
}

TEST(HyperLinkLogic, TextsColoursAndPlaces) {
    EXPECT_EQ(ResolveLinkTexts("", "http://a/").text, "http://a/");
    EXPECT_EQ(ResolveLinkTexts("Visit Our Homepage", "").address, "Visit Our Homepage");
    EXPECT_EQ(ResolveLinkTexts("Home", "http://a/").address, "http://a/");

    const QColor link(0, 0, 238), visited(85, 26, 139), hover(255, 0, 0);
    EXPECT_EQ(LinkColour(false, false, link, visited, hover), link);
    EXPECT_EQ(LinkColour(false, true, link, visited, hover), visited);
    EXPECT_EQ(LinkColour(true, true, link, visited, hover), hover);
    EXPECT_TRUE(LinkUnderlined(LINK_UNDERLINE_HOVER, true));
    EXPECT_FALSE(LinkUnderlined(LINK_UNDERLINE_HOVER, false));
    EXPECT_TRUE(LinkUnderlined(LINK_UNDERLINE_ALWAYS, false));
    EXPECT_FALSE(LinkUnderlined(LINK_UNDERLINE_NEVER, true));

    const QRect place(100, 50, 200, 40);
    const QSize text(80, 20);
    EXPECT_EQ(FitLinkRect(place, text, Qt::AlignLeft | Qt::AlignTop), QRect(100, 50, 80, 20));
    EXPECT_EQ(FitLinkRect(place, text, Qt::AlignRight | Qt::AlignTop), QRect(220, 50, 80, 20));
    EXPECT_EQ(FitLinkRect(place, text, Qt::AlignHCenter | Qt::AlignVCenter),
              QRect(160, 60, 80, 20));
}

class HyperLinkWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        ControlsTestApp();
        platform::SetShell(&shell);
        platform::SetMessageBoxes(&boxes);
        platform::SetRegistry(&registry);
    }
    void TearDown() override {
        platform::SetShell(nullptr);
        platform::SetMessageBoxes(nullptr);
        platform::SetRegistry(nullptr);
    }
    FakeShell shell;
    platform::RecordingMessageBoxes boxes;
    platform::TableRegistry registry = BrowserRegistry("xdg-open \"%1\"");
};

TEST_F(HyperLinkWidget, AClickMarksVisitedOnSuccessAndReportsAFailure) {
    QWidget window;
    auto* label = new CHyperLinkLabel("Technical Support", &window);
    label->SetURL("mailto:support@pellam.example");
    label->move(10, 10);
    window.resize(300, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(label->toolTip(), "mailto:support@pellam.example");
    EXPECT_EQ(label->CurrentColour(), QColor(0, 0, 238));

    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"mailto:support@pellam.example"}));
    EXPECT_TRUE(label->IsVisited());
    EXPECT_TRUE(boxes.Boxes().empty());
    QTest::mouseMove(&window, QPoint(290, 70));
    QTest::qWait(2 * CHyperLinkLabel::kHoverTimerMs + 50);
    EXPECT_EQ(label->CurrentColour(), QColor(85, 26, 139));

    shell.openResult = 26;
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(label->IsVisited());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Unable to open hyperlink:\nA sharing violation occurred. ");
    EXPECT_EQ(boxes.Boxes()[0].type, platform::MB_OK | platform::MB_ICONWARNING);
    EXPECT_EQ(boxes.Beeps(), (std::vector<unsigned>{platform::MB_ICONWARNING}));
    EXPECT_EQ(label->CurrentColour(), QColor(0, 0, 238));
}

TEST_F(HyperLinkWidget, AnEmptyTextShowsTheAddressAndAnEmptyAddressOpensTheText) {
    QWidget window;
    auto* noText = new CHyperLinkLabel(&window);
    noText->SetURL("https://pellam.example/");
    auto* noAddress = new CHyperLinkLabel("https://pellam.example/help", &window);
    noAddress->move(0, 40);
    noAddress->SetOpenForm(UrlOpenForm::Launcher);
    window.resize(400, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(noText->text(), "https://pellam.example/");
    EXPECT_EQ(noAddress->GetURL(), "https://pellam.example/help");
    // Fitted to the text, so the whole width is the link.
    EXPECT_GE(noText->width(), noText->fontMetrics().horizontalAdvance(noText->text()));
    EXPECT_LT(noText->width(), noText->fontMetrics().horizontalAdvance(noText->text()) + 10);

    QTest::mouseClick(noAddress, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"https://pellam.example/help"}));
    QTest::mouseClick(noText, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(shell.started, (std::vector<Line>{{"xdg-open", "https://pellam.example/"}}))
        << "the burner's form goes straight to the browser";
}

TEST_F(HyperLinkWidget, HoverUnderlinesAndColoursUntilTheMouseLeaves) {
    QWidget window;
    auto* label = new CHyperLinkLabel("Visit Our Homepage", &window);
    label->SetURL("https://pellam.example/");
    label->move(10, 10);
    window.resize(300, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(label->IsUnderlinedNow());

    QTest::mouseMove(&window, label->geometry().center());
    EXPECT_TRUE(label->IsHovered());
    EXPECT_TRUE(label->IsUnderlinedNow());
    EXPECT_EQ(label->CurrentColour(), QColor(255, 0, 0));

    QTest::mouseMove(&window, QPoint(290, 70));
    QTest::qWait(3 * CHyperLinkLabel::kHoverTimerMs);
    EXPECT_FALSE(label->IsHovered());
    EXPECT_FALSE(label->IsUnderlinedNow());

    label->SetUnderline(LINK_UNDERLINE_ALWAYS);
    EXPECT_TRUE(label->IsUnderlinedNow());
    QTest::mouseMove(&window, label->geometry().center());
    QTest::mouseMove(&window, QPoint(290, 70));
    QTest::qWait(3 * CHyperLinkLabel::kHoverTimerMs);
    EXPECT_TRUE(label->IsUnderlinedNow()) << "always underlined";
}

} // namespace
