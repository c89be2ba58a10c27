#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/ResolutionAgent.h"
#include "support/TestPlatform.h"

namespace velluma {
namespace {

TEST(ResolutionAgent, TextPollAndNotification) {
    test::FakeScreen screen;
    screen.size = {2048, 768};  // two 1024 x 768 monitors side by side
    TRAgent agent(screen);
    EXPECT_EQ(agent.ResolutionText(), "2048x768");
    EXPECT_EQ(agent.timer().interval(), 1000);
    EXPECT_TRUE(agent.timer().isActive());

    int notified = 0;
    agent.OnResolutionChange = [&](TRAgent& sender) {
        EXPECT_EQ(&sender, &agent);
        ++notified;
    };
    agent.Poll();
    EXPECT_EQ(notified, 0);

    screen.size = {1280, 1024};
    EXPECT_EQ(agent.ResolutionText(), "2048x768");  // stored until the next read
    agent.Poll();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(agent.ResolutionText(), "1280x1024");
    agent.Poll();
    EXPECT_EQ(notified, 1);
}

TEST(ResolutionAgent, GetResolutionReadsAtOnceWithoutNotifying) {
    test::FakeScreen screen;
    TRAgent agent(screen);
    int notified = 0;
    agent.OnResolutionChange = [&](TRAgent&) { ++notified; };
    screen.size = {800, 600};
    const ScreenSize s = agent.GetResolution();
    EXPECT_EQ(s, (ScreenSize{800, 600}));
    EXPECT_EQ(agent.ResolutionText(), "800x600");
    agent.Poll();
    EXPECT_EQ(notified, 0);
}

}  // namespace
}  // namespace velluma
