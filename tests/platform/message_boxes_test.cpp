#include "platform/message_boxes.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordingMessageBoxes, AnswersFromTheScriptThenWithTheFirstButton) {
    platform::RecordingMessageBoxes boxes;
    boxes.Answer(platform::IDNO);
    EXPECT_EQ(boxes.Show("Erase?", "", platform::MB_YESNO | platform::MB_ICONQUESTION),
              platform::IDNO);
    EXPECT_EQ(boxes.Show("Again?", "", platform::MB_YESNO), platform::IDYES);
    EXPECT_EQ(boxes.Show("Done", "Pellam", platform::MB_OK), platform::IDOK);
    EXPECT_EQ(boxes.Show("Retry?", "", platform::MB_RETRYCANCEL), platform::IDRETRY);
    boxes.Beep(platform::MB_ICONWARNING);

    auto all = boxes.Boxes();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].type, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(all[2].caption, "Pellam");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Erase?", "Again?", "Done", "Retry?"}));
    EXPECT_EQ(boxes.Beeps(), (std::vector<unsigned>{platform::MB_ICONWARNING}));
}

} // namespace
