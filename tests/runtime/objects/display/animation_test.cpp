// Animations chosen by speed and direction, their frame rates and loops, and the appearing and
// disappearing animations that open and close an object's life.
#include "display_fixture.h"

namespace {

using namespace displaytest;

std::vector<Picture> Pictures(int n) {
    std::vector<Picture> p(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto c = static_cast<COLORREF>(0x101010 * (i + 1));
        p[static_cast<std::size_t>(i)].colour = [c](int, int) { return c; };
    }
    return p;
}

appwriter::AnimationDesc Animation(std::uint16_t number,
                                   std::vector<appwriter::AnimationDirectionDesc> directions) {
    appwriter::AnimationDesc a;
    a.number = number;
    a.directions = std::move(directions);
    return a;
}

appwriter::AnimationDirectionDesc Direction(std::uint8_t d, std::vector<std::uint16_t> images,
                                            std::uint8_t rate = 100, std::uint16_t loops = 0) {
    return {d, rate, rate, loops, 0, std::move(images)};
}

class Animations : public DisplayTest {
protected:
    void StartWith(std::vector<appwriter::AnimationDesc> animations, int images = 4) {
        ActiveDesc a;
        a.animations = std::move(animations);
        Start(Pictures(images), {a}, {{1, 40, 40, 0}});
    }
    ObjectAnimationBlock& Block() { return *AnimationOf(Slot(0)); }
    // The stored index of the image shown.
    int Image() { return StoredIndexOf(Active(0)->image); }
    int StoredIndexOf(std::int32_t handle) {
        return StoredIndexOfHandle(*app_->banks, AppBankImages, static_cast<std::uint32_t>(handle));
    }
};

TEST_F(Animations, AtRateHundredTheFrameAdvancesEveryLoopButTheFirst) {
    StartWith({Animation(AnimationWalking, {Direction(0, {1, 2, 3}, 100)})});
    Active(0)->speed = 50;
    ResetObjectAnimation(Slot(0)); // the first loop of the animation
    EXPECT_EQ(Image(), 1);
    for (int expected : {2, 3, 1, 2}) {
        StepAnimation(Slot(0), 1);
        EXPECT_EQ(Image(), expected);
    }
}

TEST_F(Animations, AtRateFiftyTheFrameAdvancesEveryOtherLoop) {
    StartWith({Animation(AnimationWalking, {Direction(0, {1, 2, 3}, 50)})});
    Active(0)->speed = 50;
    ResetObjectAnimation(Slot(0));
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i) {
        StepAnimation(Slot(0), 1);
        seen.push_back(Image());
    }
    // 50, 100, 150: the counter must pass 100 before the frame moves on.
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 3, 3, 1}));
}

TEST_F(Animations, TheSpeedChoosesStoppedWalkingOrRunning) {
    StartWith({Animation(AnimationStopped, {Direction(0, {1})}),
               Animation(AnimationWalking, {Direction(0, {2})}),
               Animation(AnimationRunning, {Direction(0, {3})})});
    const struct {
        std::int32_t speed;
        int image;
    } cases[] = {{0, 1}, {74, 2}, {75, 3}, {100, 3}, {1, 2}};
    for (const auto& c : cases) {
        Active(0)->speed = c.speed;
        Active(0)->animationRequest = AnimationWalking;
        StepAnimation(Slot(0), 1);
        EXPECT_EQ(Image(), c.image) << "speed " << c.speed;
    }
}

TEST_F(Animations, ADirectionWithoutFramesFollowsTheSideOfTheLastOwnDirection) {
    // Directions 0 and 8 have frames; 4 lies halfway between them.
    StartWith({Animation(AnimationWalking, {Direction(0, {1}), Direction(8, {2})})});
    Active(0)->speed = 10;
    for (const auto& [from, expected] : {std::pair{0, 1}, std::pair{8, 2}}) {
        Active(0)->direction = from;
        StepAnimation(Slot(0), 1);
        Active(0)->direction = 4;
        StepAnimation(Slot(0), 1);
        EXPECT_EQ(Image(), expected) << "coming from " << from;
    }
    // Direction 2 is nearer 0: no tie.
    Active(0)->direction = 2;
    StepAnimation(Slot(0), 1);
    EXPECT_EQ(Image(), 1);
}

TEST_F(Animations, ALoopCountOfTwoPlaysTheFramesTwiceThenEndsOnce) {
    StartWith({Animation(AnimationWalking, {Direction(0, {1, 2}, 100, 2)})});
    Active(0)->speed = 50;
    ResetObjectAnimation(Slot(0));
    std::vector<int> seen;
    int ended = 0;
    for (int i = 0; i < 8; ++i) {
        CurrentRunState()->animationNumber = -1;
        StepAnimation(Slot(0), 1);
        if (CurrentRunState()->animationNumber == AnimationWalking) ++ended;
        seen.push_back(Block().frameCount == 0 ? 0 : Image());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ended, 1);
}

TEST_F(Animations, AnAnimationCountOfZeroReadsNothing) {
    ActiveDesc a;
    a.noAnimations = true;
    Start(Pictures(1), {a}, {{1, 40, 40, 0}});
    EXPECT_EQ(StepAnimation(Slot(0), 1), 0);
    EXPECT_EQ(Active(0)->image, 0);
}

TEST_F(Animations, AnObjectWithOnlyADisappearingAnimationPlaysItOnceAndGoes) {
    StartWith({Animation(AnimationDisappearing, {Direction(0, {1, 2, 3}, 100, 1)})});
    ASSERT_NE(Slot(0), nullptr);
    EXPECT_EQ(AnimationOf(Slot(0))->forcedAnimation, AnimationDisappearing + 1);
    for (int i = 0; i < 6 && Slot(0); ++i)
        Tick();
    EXPECT_EQ(Slot(0), nullptr);
    EXPECT_EQ(CurrentRunState()->objectCount, 0);
}

TEST_F(Animations, AnAnimationWithoutOwnFramesTakesItsSubstitute) {
    // Running has no frames of its own: walking stands in for it.
    StartWith({Animation(AnimationWalking, {Direction(0, {2})}), Animation(AnimationRunning, {})});
    Active(0)->speed = 90;
    StepAnimation(Slot(0), 1);
    EXPECT_EQ(Image(), 2);
}

} // namespace
