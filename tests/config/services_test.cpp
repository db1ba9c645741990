#include "config/services.h"

#include <gtest/gtest.h>

using namespace tandex::config;

TEST(Services, HeadlessMessageSinkAnswersWithDefaultAndRecords) {
    auto& sink = dynamic_cast<RecordingMessageSink&>(messageSink());
    sink.clear();
    EXPECT_EQ(showMessage("Cap", "Text", MsgKind::Question, mbYes | mbNo, mrNo), mrNo);
    auto seen = sink.messages();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Cap");
    EXPECT_EQ(seen[0].text, "Text");
}

TEST(Services, InstalledSinkReplacesDefaultUntilRemoved) {
    struct Yes : MessageSink {
        int showMessage(const MessageRequest&) override { return mrYes; }
    } yes;
    setMessageSink(&yes);
    EXPECT_EQ(showMessage("c", "t", MsgKind::Question, mbYes | mbNo, mrNo), mrYes);
    setMessageSink(nullptr);
    EXPECT_EQ(showMessage("c", "t", MsgKind::Question, mbYes | mbNo, mrNo), mrNo);
}
