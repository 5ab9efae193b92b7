#include <gtest/gtest.h>

#include "Fakes.h"
#include "StatusLayout.h"
#include "StatusMessage.h"
#include "StatusTexts.h"

namespace kiv {
namespace {

using test::MainFormFixture;

// The fake label measures 7 x 12 pixels per byte and line; the window adds 72 x 36.
TSize WindowSizeFor(const std::string& caption)
{
    int lines = 1, longest = 0, current = 0;
    for (char c : caption) {
        if (c == '\r') {
            ++lines;
            current = 0;
        } else {
            longest = std::max(longest, ++current);
        }
    }
    return {7 * longest + 72, 12 * lines + 36};
}

// The status window of a form over fakes in virtual time; the settings' defaults apply:
// bottom right, close bar, faded in to 200.
class StatusQueue : public ::testing::Test, protected MainFormFixture {
protected:
    StatusQueue() { form.Settings.Target = "ISP"; }
    bool Showing() { return statusWindow.Visible(); }
};

TEST_F(StatusQueue, MessageFadesInStaysItsLifetimeAndFadesOut)
{
    clock.time.now = 1000;
    form.ShowStatus(kStatusConnected);
    const std::string shown = "「ISP」へ接続しました。";
    ASSERT_EQ(statusWindow.captions, std::vector<std::string>{shown});
    EXPECT_EQ(form.tmFeedOutTag, 2380);
    EXPECT_EQ(form.StatusShownAt, 1000u);
    EXPECT_EQ(form.Tag, 200);
    EXPECT_TRUE(tmFeedOut.Enabled());
    EXPECT_FALSE(statusWindow.iconEnabled);
    EXPECT_EQ(statusWindow.State().alphas, (std::vector<int>{0, 0}));  // set to 0, then the fade's start
    EXPECT_TRUE(Showing());
    EXPECT_EQ(statusWindow.State().redraws, 1);

    // Bottom right, above the taskbar at y 738.
    const TSize size = WindowSizeFor(shown);
    EXPECT_EQ(statusWindow.bounds, (TRect{1024 - 10 - size.Width, 738 - 10 - size.Height, 1024 - 10, 738 - 10}));
    EXPECT_EQ(statusWindow.shape, StatusWindowShape(size.Width, size.Height, true, false));

    RunFor(2350);  // the last tick before the lifetime is over
    EXPECT_EQ(statusWindow.State().alphas.back(), 200);
    EXPECT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_TRUE(Showing());
    ASSERT_FALSE(statusWindow.bars.empty());
    EXPECT_EQ(statusWindow.bars.back(), StatusCloseBar(size.Width, 2350, 2380, false));

    RunFor(50);  // the tick at 2400 starts the fade-out; the message stays queued until its end
    EXPECT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_TRUE(vss.RunningLayeredWindowFeed());
    EXPECT_EQ(statusWindow.bars.back().LineRight, size.Width - 11);
    RunFor(9 * 25 - 1);
    EXPECT_EQ(form.StatusQueue.size(), 1u);
    RunFor(1);
    EXPECT_TRUE(form.StatusQueue.empty());
    EXPECT_FALSE(Showing());
    EXPECT_FALSE(tmFeedOut.Enabled());
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_EQ(statusWindow.State().alphas.back(), 25);
    EXPECT_EQ(clock.time.now, 1000u + 2400 + 9 * 25);
}

TEST_F(StatusQueue, BurstOfThreeClosesAllButTheLastAtOnce)
{
    form.ShowStatus("first");
    form.ShowStatus("second%A1");
    form.ShowStatus("third");
    EXPECT_EQ(statusWindow.captions, std::vector<std::string>{"first"});
    EXPECT_EQ(form.StatusQueue[1], (StatusMessage{"second", kActionConnect}));  // the action goes with it

    // The first closes at the first tick after its fade-in (225 ms): at 250, then fades out.
    RunFor(250 + 225);
    ASSERT_EQ(statusWindow.captions.size(), 2u);
    EXPECT_EQ(statusWindow.captions[1], "second");
    EXPECT_TRUE(statusWindow.iconEnabled);
    EXPECT_EQ(form.StatusShownAt, 250u + 225);
    for (const TCloseBar& bar : statusWindow.bars)
        EXPECT_EQ(bar.LineRight, WindowSizeFor("first").Width - 11);  // full while others wait

    // The second likewise; the third then stays its whole lifetime.
    RunFor(725 + 225 - clock.time.now);
    ASSERT_EQ(statusWindow.captions.size(), 3u);
    EXPECT_FALSE(statusWindow.iconEnabled);
    const std::uint32_t shownAt = form.StatusShownAt;
    EXPECT_EQ(shownAt, 725u + 225);
    RunFor(shownAt + StatusLifetime("third") - 1 - clock.time.now);
    EXPECT_EQ(test::QueuedTexts(form), StringList{"third"});
    EXPECT_TRUE(Showing());
    RunFor(50 + 250);
    EXPECT_TRUE(form.StatusQueue.empty());
    EXPECT_FALSE(Showing());
}

TEST_F(StatusQueue, ShownPlainlyWithoutAlphaBlending)
{
    struct Case {
        bool layered, statusAlpha;
    };
    for (const Case c : {Case{false, true}, Case{true, false}}) {
        MainFormFixture f;
        f.system.available = c.layered;
        TVireoSubSet vss{f.system};
        TMainForm form{{f.app, f.clock, f.ras, f.kms, vss, f.tray, f.statusWindow, f.tmSchedule, f.tmFeedOut,
                        f.tmConnect, f.shutdown, f.log}};
        form.Settings.StatusAlpha = c.statusAlpha;
        form.Settings.StatusCloseBar = false;
        form.ShowStatus("plain");
        auto& w = f.statusWindow.State();
        EXPECT_EQ(w.swpFlags, (std::vector<unsigned>{0x97, 0x57}));
        EXPECT_TRUE(w.visible);
        EXPECT_TRUE(w.alphas.empty());
        EXPECT_EQ(w.redraws, c.layered ? 1 : 0);  // the layered style removed
        EXPECT_EQ(form.Tag, 0);
        EXPECT_EQ(f.statusWindow.shape.Body.Bounds.Top, 23);

        const int lifetime = StatusLifetime("plain");
        for (int t = 50; t < lifetime; t += 50) {
            f.clock.time.now = static_cast<std::uint32_t>(t);
            form.tmFeedOutTimer();
        }
        EXPECT_EQ(form.StatusQueue.size(), 1u);
        f.clock.time.now = static_cast<std::uint32_t>(lifetime);
        form.tmFeedOutTimer();
        EXPECT_TRUE(form.StatusQueue.empty());
        EXPECT_FALSE(w.visible);
        EXPECT_EQ(w.swpFlags.back(), 0x97u);
        EXPECT_TRUE(f.statusWindow.bars.empty());  // no close bar
        EXPECT_TRUE(f.system.timers.empty());
    }
}

TEST_F(StatusQueue, LifetimeRunsOnAcrossTheTickWrap)
{
    clock.time.now = 0xFFFFFFFFu - 500;
    form.ShowStatus("wrap");
    const int lifetime = StatusLifetime("wrap");
    RunFor(static_cast<std::uint32_t>(lifetime) - 50);
    EXPECT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_TRUE(Showing());
    RunFor(100 + 9 * 25);
    EXPECT_TRUE(form.StatusQueue.empty());
}

TEST_F(StatusQueue, ClickClosesTheMessage)
{
    form.ShowStatus("click me");
    form.FormClick();  // during the fade-in: closed at the first tick after it
    EXPECT_EQ(form.StatusQueue.size(), 1u);
    EXPECT_EQ(form.tmFeedOutTag, -1);
    RunFor(250 + 9 * 25);
    EXPECT_TRUE(form.StatusQueue.empty());
    EXPECT_FALSE(Showing());

    form.ShowStatus("click me again");
    RunFor(300);
    form.FormClick();  // after it: fading out now
    EXPECT_TRUE(vss.RunningLayeredWindowFeed());
    RunFor(9 * 25);
    EXPECT_TRUE(form.StatusQueue.empty());
    EXPECT_FALSE(Showing());
}

// Messages and clicks that come while the head fades out wait behind it.
TEST_F(StatusQueue, CallsDuringTheFadeOutWaitBehindTheHead)
{
    form.ShowStatus("head");
    RunFor(300);
    form.FormClick();
    RunFor(25);
    form.ShowStatus("queued during the fade-out");
    form.FormClick();  // must not close a second message
    EXPECT_EQ(test::QueuedTexts(form), (StringList{"head", "queued during the fade-out"}));
    RunFor(8 * 25);
    EXPECT_EQ(test::QueuedTexts(form), StringList{"queued during the fade-out"});
    EXPECT_EQ(statusWindow.captions.back(), "queued during the fade-out");
    EXPECT_TRUE(tmFeedOut.Enabled());
    EXPECT_NE(form.tmFeedOutTag, -1);
}

// A fade-out whose ticks never come does not hold the queue: tmFeedOut gives it up after 3 s.
TEST_F(StatusQueue, FadeOutThatNeverEndsIsGivenUp)
{
    form.ShowStatus("one");
    form.ShowStatus("two");
    RunFor(250);  // the close of "one" starts at the first tick after its fade-in
    ASSERT_TRUE(vss.RunningLayeredWindowFeed());
    clock.time.timers.SetHandler(TimerSpace::Fade, nullptr);  // its ticks never come
    RunFor(2950);
    EXPECT_EQ(test::QueuedTexts(form), (StringList{"one", "two"}));
    RunFor(50);
    EXPECT_EQ(test::QueuedTexts(form), StringList{"two"});
    EXPECT_EQ(statusWindow.captions.back(), "two");
}

// Records which tray handler the status icon ran; each queues a message of its own.
struct RecordingForm : TMainForm {
    using TMainForm::TMainForm;
    void miTaskConnectClick() override { Ran("miTaskConnectClick"); }
    void miTaskDeconnectClick() override { Ran("miTaskDeconnectClick"); }
    void miTaskOptionClick() override { Ran("miTaskOptionClick"); }
    void Ran(const std::string& name)
    {
        ran.push_back(name);
        ShowStatus("after " + name);
    }
    std::vector<std::string> ran;
};

TEST(StatusIcon, ActionCodesRunTheirHandlersThenClose)
{
    struct Case {
        const char* message;
        int code;
        const char* handler;
    };
    const Case cases[] = {
        {"a%A1", 1, "miTaskConnectClick"}, {"a%A2", 2, "miTaskDeconnectClick"}, {"a%A3", 3, "miTaskOptionClick"},
        {"a%A4", 4, nullptr},               {"a%A0", 0, nullptr},                  {"a%Az", 0, nullptr},
        {"a", 0, nullptr},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        RecordingForm form{{f.app, f.clock, f.ras, f.kms, f.vss, f.tray, f.statusWindow, f.tmSchedule, f.tmFeedOut,
                            f.tmConnect, f.shutdown, f.log}};
        f.clock.time.timers.SetHandler(TimerSpace::Fade, [&](int id) { f.vss.Timer(static_cast<unsigned>(id)); });
        form.ShowStatus(c.message);
        EXPECT_EQ(form.imMainIconTag, c.code) << c.message;
        EXPECT_EQ(f.statusWindow.iconEnabled, c.code != 0) << c.message;
        EXPECT_EQ(f.statusWindow.captions.back(), "a") << c.message;
        for (int i = 0; i < 9; ++i)
            f.vss.Timer(2);  // the fade-in to its end
        form.imMainIconClick();
        f.RunFor(9 * 25);  // the head's fade-out
        EXPECT_EQ(form.ran, c.handler ? std::vector<std::string>{c.handler} : std::vector<std::string>{})
            << c.message;
        EXPECT_EQ(form.SkipAutoDisconnect, c.code == 4) << c.message;
        // The head closed; a message queued by the action is displayed after it.
        if (c.handler) {
            EXPECT_EQ(test::QueuedTexts(form), StringList{std::string("after ") + c.handler});
            EXPECT_EQ(f.statusWindow.captions.back(), std::string("after ") + c.handler);
        } else {
            EXPECT_TRUE(form.StatusQueue.empty()) << c.message;
        }
    }
}

TEST_F(StatusQueue, IconLooksPressedForTheLeftButtonOnly)
{
    form.imMainIconMouseDown(TMouseButton::mbLeft);
    EXPECT_EQ(statusWindow.icon, (TPoint{3, 2}));
    form.imMainIconMouseUp(TMouseButton::mbLeft);
    EXPECT_EQ(statusWindow.icon, (TPoint{2, 1}));
    form.imMainIconMouseDown(TMouseButton::mbRight);
    form.imMainIconMouseUp(TMouseButton::mbMiddle);
    EXPECT_EQ(statusWindow.icon, (TPoint{2, 1}));
}

TEST_F(StatusQueue, StatusLocateChoosesTheCorner)
{
    const std::string text = "一行目\r二行目";
    const TSize size = WindowSizeFor(text);
    struct Case {
        int locate;
        std::optional<TRect> taskbar;
        std::optional<TPoint> at;  // nothing: not shown at all
    };
    const Case cases[] = {
        {0, TRect{0, 738, 1024, 768}, std::nullopt},
        {-3, TRect{0, 738, 1024, 768}, std::nullopt},
        {1, TRect{0, 0, 1024, 30}, TPoint{10, 40}},
        {4, TRect{964, 0, 1024, 768}, TPoint{964 - 10 - size.Width, 768 - 10 - size.Height}},
        {9, TRect{964, 0, 1024, 768}, TPoint{964 - 10 - size.Width, 768 - 10 - size.Height}},  // read as 4
        {3, std::nullopt, TPoint{10, 768 - 10 - size.Height}},
    };
    for (const Case& c : cases) {
        MainFormFixture f;
        f.form.Settings.StatusLocate = c.locate;
        f.statusWindow.taskbar = c.taskbar;
        f.form.ShowStatus(text);
        if (!c.at) {
            EXPECT_TRUE(f.form.StatusQueue.empty());
            EXPECT_TRUE(f.statusWindow.captions.empty());
            EXPECT_FALSE(f.tmFeedOut.Enabled());
            f.form.FormClick();  // nothing to close
            continue;
        }
        EXPECT_EQ(f.statusWindow.bounds,
                  (TRect{c.at->X, c.at->Y, c.at->X + size.Width, c.at->Y + size.Height})) << c.locate;
        ASSERT_TRUE(f.statusWindow.shape.Column) << "two lines get the left column";
    }
}

TEST_F(StatusQueue, WindowFollowsItsCornerWhenTheWorkAreaChanges)
{
    form.StatusAreaChanged();  // nothing placed yet: nothing moves
    EXPECT_EQ(statusWindow.bounds, TRect{});

    statusWindow.workArea = {0, 0, 1024, 738};
    form.ShowStatus(kStatusConnected);
    const TSize size = WindowSizeFor("「ISP」へ接続しました。");
    const auto bottomRightOf = [&](const TRect& area) {
        return TRect{area.Right - 10 - size.Width, area.Bottom - 10 - size.Height, area.Right - 10, area.Bottom - 10};
    };
    EXPECT_EQ(statusWindow.bounds, bottomRightOf({0, 0, 1024, 738}));

    // The taskbar moves to the right edge while the message is on screen.
    statusWindow.taskbar = TRect{964, 0, 1024, 768};
    statusWindow.workArea = {0, 0, 964, 768};
    form.StatusAreaChanged();
    EXPECT_EQ(statusWindow.bounds, bottomRightOf({0, 0, 964, 768}));

    // After the message, a larger display: the hidden window keeps to its corner too.
    RunFor(5000);
    ASSERT_TRUE(form.StatusQueue.empty());
    statusWindow.screen = {1280, 1024};
    statusWindow.taskbar = TRect{0, 984, 1280, 1024};
    statusWindow.workArea = {0, 0, 1280, 984};
    form.StatusAreaChanged();
    EXPECT_EQ(statusWindow.bounds, bottomRightOf({0, 0, 1280, 984}));
    EXPECT_EQ(statusWindow.captions.size(), 1u) << "no message is shown for the move";

    // Hidden by the settings: the window stays where it is.
    form.Settings.StatusLocate = 0;
    statusWindow.workArea = {0, 0, 800, 600};
    form.StatusAreaChanged();
    EXPECT_EQ(statusWindow.bounds, bottomRightOf({0, 0, 1280, 984}));
}

TEST_F(StatusQueue, AlphaCountIsBroughtIntoRange)
{
    for (const auto& [stored, used] : {std::pair{0, 1}, std::pair{300, 255}, std::pair{7, 7}}) {
        MainFormFixture f;
        f.form.Settings.StatusAlphaCount = stored;
        f.form.ShowStatus("x");
        EXPECT_EQ(f.form.Tag, used);
        f.RunFor(1000);
        EXPECT_EQ(f.statusWindow.State().alphas.back(), used);  // the fade-in ended
        f.RunFor(2000);
        EXPECT_TRUE(f.form.StatusQueue.empty()) << stored;  // and the fade-out too
    }
}

// Names put into a message (the target, a console's names in the prefix) are text: no
// placeholder inside them is filled and the icon's action is always the template's.
TEST(StatusMessage, NamesAreTextAndTheActionIsTheTemplates)
{
    struct Case {
        const char* tmpl;
        const char* prefix;
        const char* target;
        const char* shown;
        int code;
    };
    const Case cases[] = {
        {"「%D」%S秒%C回%A2", "", "ISP", "「ISP」30秒3回", 2},
        {"「%D」%A2", "", "a%A1%D%S", "「a%A1%D%S」", 2},
        {"「%D」へ接続しました。", "", "x%A3", "「x%A3」へ接続しました。", 0},
        {"「%D」%A1", "-from e%A4%D<P%C>-\r\r", "ISP", "-from e%A4%D<P%C>-\r\r「ISP」", 1},
        {"切り替えました。", "-from e%A4<P>-\r\r", "ISP", "-from e%A4<P>-\r\r切り替えました。", 0},
        // A "%" at the end of a name followed by the template's text is no action either.
        {"A1です", "-from e%", "ISP", "-from e%A1です", 0},
        {"%D", "", "ISP%", "ISP%", 0},
        {"%%D%A", "", "X", "%X", 0},
    };
    for (const auto& c : cases) {
        const StatusMessage message = ComposeStatusMessage(ParseStatusTemplate(c.tmpl), c.prefix, c.target, 30, 3);
        EXPECT_EQ(message.Text, c.shown) << c.tmpl << " / " << c.prefix << " / " << c.target;
        EXPECT_EQ(message.Action, c.code) << c.tmpl << " / " << c.prefix << " / " << c.target;
    }
}

}  // namespace
}  // namespace kiv
