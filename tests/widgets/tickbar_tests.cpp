// The tick bar: its colour ramp and motion as plain arithmetic, and the control's setters,
// strip and painting.
#include "widgets/tickbar.h"
#include "widgets/tprprogressbar.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

using rimo::rgbColor;
using rimo::TColor;
namespace tb = rimo::tickbar;

namespace {

std::vector<int> reds(const std::vector<QRgb>& columns)
{
    std::vector<int> out;
    for (QRgb c : columns)
        out.push_back(qRed(c));
    return out;
}

// EdgePos after each of `calls` steps.
std::vector<int> walk(tb::Motion m, TtprStyle style, int tickWidth, int clientWidth, int calls)
{
    std::vector<int> out;
    for (int i = 0; i < calls; ++i) {
        tb::advance(m, style, tickWidth, clientWidth);
        out.push_back(m.edgePos);
    }
    return out;
}

} // namespace

TEST(TickRamp, RoundsHalvesToEvenAndPutsTickColorInTheMiddle)
{
    struct Case
    {
        int r0, r1, width;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // step 0.5: the halves 0.5 and 2.5 go down to the even neighbour, 1.5 goes up
        {0, 1, 4, {0, 0, 1, 0}},
        {2, 3, 4, {2, 2, 3, 2}},
        {1, 2, 4, {1, 2, 2, 2}},
        // one column: the right half overwrites it with the tick colour
        {10, 200, 1, {200}},
        // odd width: middle column exact, last column not back to the edge colour
        {0, 90, 3, {0, 90, 30}},
        {100, 0, 5, {100, 60, 0, 40, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.r0 << "->" << c.r1 << " width " << c.width);
        EXPECT_EQ(reds(tb::rampColumns(rgbColor(c.r0, 0, 0), rgbColor(c.r1, 0, 0), c.width)), c.expected);
    }
}

TEST(TickRamp, TakesTheBytesOfTheStoredValues)
{
    // Green and blue come from the second and third byte; a system colour ramps from its number.
    const auto columns = tb::rampColumns(0xFF00000Fu, rgbColor(15, 100, 200), 2);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0], qRgb(15, 0, 0));
    EXPECT_EQ(columns[1], qRgb(15, 100, 200));
    EXPECT_TRUE(tb::rampColumns(0, 0xFFFFFF, 0).empty());
}

TEST(TickMotion, DefaultStyleWrapsToStepMinusWidth)
{
    // Width 30, tick 20, step 3 from -20: the left edge reaches 31 >= 30 and re-enters at -17.
    const auto pos = walk({-20, 3}, tprDefault, 20, 30, 18);
    EXPECT_EQ(pos.front(), -17);
    EXPECT_EQ(pos[15], 28);
    EXPECT_EQ(pos[16], -17);
    EXPECT_EQ(pos[17], -14);

    tb::Motion m{-20, 3};
    const tb::Span left = tb::advance(m, tprDefault, 20, 30);
    EXPECT_EQ(left.x, -20);
    EXPECT_EQ(left.width, 3);
}

TEST(TickMotion, BouncerWithTheBoardSettingsTurnsAt347AndAt0)
{
    // The board: 547 px, tick 200, jump 1, bouncing, starting at 1.
    tb::Motion m{1, 1};
    std::vector<int> turns;
    int previousStep = m.step;
    int maxPos = m.edgePos, minPos = m.edgePos;
    for (int i = 0; i < 2000; ++i) {
        tb::advance(m, tprBouncer, 200, 547);
        maxPos = std::max(maxPos, m.edgePos);
        minPos = std::min(minPos, m.edgePos);
        if (m.step != previousStep)
            turns.push_back(m.edgePos);
        previousStep = m.step;
    }
    EXPECT_EQ(maxPos, 347);
    EXPECT_EQ(minPos, 0);
    ASSERT_GE(turns.size(), 4u);
    EXPECT_EQ(turns[0], 347);
    EXPECT_EQ(turns[1], 0);
    EXPECT_EQ(turns[2], 347);
    EXPECT_EQ(turns[3], 0);
}

TEST(TickMotion, BouncerFillsTheTrailingEdge)
{
    tb::Motion right{10, 4};
    tb::Span s = tb::advance(right, tprBouncer, 20, 100);
    EXPECT_EQ(s.x, 10);
    EXPECT_EQ(s.width, 4);

    tb::Motion left{50, -4};
    s = tb::advance(left, tprBouncer, 20, 100);
    EXPECT_EQ(s.x, 66); // 50 + 20 - 4: the columns the tick's right end leaves
    EXPECT_EQ(s.width, 4);
    EXPECT_EQ(left.edgePos, 46);
}

class TickBarTest : public testing::Test
{
protected:
    TtprProgressBar bar;
    void SetUp() override { bar.resize(100, 10); }
};

TEST_F(TickBarTest, NewControlHasTheDefaults)
{
    TtprProgressBar fresh;
    EXPECT_EQ(fresh.Color(), rgbColor(140, 198, 198));
    EXPECT_EQ(fresh.TickColor(), rgbColor(64, 128, 128));
    EXPECT_EQ(fresh.TickWidth(), 20);
    EXPECT_EQ(fresh.TickJump(), 3);
    EXPECT_EQ(fresh.TickCount(), 1);
    EXPECT_EQ(fresh.Style(), tprDefault);
    EXPECT_EQ(fresh.Align(), alNone);
    EXPECT_EQ(fresh.EdgePos(), -20);
    EXPECT_EQ(fresh.internTickJump(), 3);
    EXPECT_TRUE(fresh.tickImage().isNull());
}

TEST_F(TickBarTest, FirstTickShowsTheRightThreeColumnsAtMinus17)
{
    bar.Tick();
    EXPECT_EQ(bar.EdgePos(), -17);
    const QImage& tick = bar.tickImage();
    ASSERT_EQ(tick.size(), QSize(20, 10));
    EXPECT_EQ(QColor(tick.pixel(10, 0)), QColor(64, 128, 128));
    const QImage& strip = bar.stripImage();
    ASSERT_EQ(strip.size(), QSize(100, 10));
    for (int x = 0; x < 3; ++x)
        for (int y : {0, 9})
            EXPECT_EQ(strip.pixel(x, y), tick.pixel(17 + x, y)) << x << "," << y;
    EXPECT_EQ(QColor(strip.pixel(3, 5)), QColor(140, 198, 198));
    EXPECT_EQ(QColor(strip.pixel(99, 5)), QColor(140, 198, 198));

    // Painting shows the strip.
    const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(2, 5), strip.pixel(2, 5));
    EXPECT_EQ(shown.pixel(50, 5), strip.pixel(50, 5));
}

TEST_F(TickBarTest, StepsLeaveBackgroundBehindAndWrap)
{
    bar.setTickJump(30);
    for (int i = 0; i < 4; ++i)
        bar.Tick(); // -20 -> 10 -> 40 -> 70 -> 100, which wraps to 30 - 20
    EXPECT_EQ(bar.EdgePos(), 10);
    const QImage& strip = bar.stripImage();
    EXPECT_EQ(QColor(strip.pixel(95, 3)), QColor(140, 198, 198)); // the last tick was filled away
    EXPECT_EQ(strip.pixel(20, 3), bar.tickImage().pixel(10, 3));
}

TEST_F(TickBarTest, TickCountStepsPerCall)
{
    bar.setTickCount(4);
    bar.Tick();
    EXPECT_EQ(bar.EdgePos(), -20 + 4 * 3);
}

TEST_F(TickBarTest, SettersRefuseOutOfRangeValues)
{
    bar.setTickWidth(101); // wider than the control
    bar.setTickWidth(0);
    bar.setTickWidth(-5);
    EXPECT_EQ(bar.TickWidth(), 20);
    bar.setTickWidth(100);
    EXPECT_EQ(bar.TickWidth(), 100);
    EXPECT_EQ(bar.tickImage().width(), 100);

    for (int v : {0, -3, 101})
        bar.setTickJump(v);
    EXPECT_EQ(bar.TickJump(), 3);
    EXPECT_EQ(bar.internTickJump(), 3);

    bar.setTickCount(0);
    bar.setTickCount(-1);
    EXPECT_EQ(bar.TickCount(), 1);
}

TEST_F(TickBarTest, TickJumpKeepsTheDirection)
{
    bar.setTickWidth(10);
    bar.setStyle(tprBouncer);
    bar.setTickJump(45);
    bar.Tick();
    bar.Tick(); // 1 -> 46 -> 91 >= 100 - 10: now moving left
    ASSERT_LT(bar.internTickJump(), 0);
    bar.setTickJump(5);
    EXPECT_EQ(bar.TickJump(), 5);
    EXPECT_EQ(bar.internTickJump(), -5);
    bar.Tick();
    EXPECT_EQ(bar.EdgePos(), 86);

    // Choosing a style restarts the motion forwards.
    bar.setStyle(tprBouncer);
    EXPECT_EQ(bar.EdgePos(), 1);
    EXPECT_EQ(bar.internTickJump(), 5);
    bar.setStyle(tprDefault);
    EXPECT_EQ(bar.EdgePos(), -10);
}

TEST_F(TickBarTest, RebuildsRestartAtTheLeftAndClearTheStrip)
{
    bar.Tick(); // the first Tick builds the image, which restarts the tick at the left
    EXPECT_EQ(bar.EdgePos(), -17);
    bar.setStyle(tprBouncer);
    bar.Tick();
    ASSERT_EQ(bar.EdgePos(), 4);
    bar.setTickColor(rgbColor(255, 0, 0));
    EXPECT_EQ(bar.EdgePos(), -20);
    EXPECT_EQ(QColor(bar.stripImage().pixel(10, 5)), QColor(140, 198, 198));
    EXPECT_EQ(QColor(bar.tickImage().pixel(10, 5)), QColor(255, 0, 0));

    bar.Tick();
    bar.setColor(rgbColor(0, 0, 255));
    EXPECT_EQ(bar.EdgePos(), -20);
    EXPECT_EQ(QColor(bar.stripImage().pixel(0, 0)), QColor(0, 0, 255));

    bar.Tick();
    bar.show(); // Qt delivers resizes of hidden controls only when they are shown
    bar.resize(120, 10);
    EXPECT_EQ(bar.EdgePos(), -20);
    EXPECT_EQ(bar.stripImage().size(), QSize(120, 10));
}

TEST_F(TickBarTest, SystemBackgroundIsTakenFromThePalette)
{
    bar.setColor(0xFF00000Fu); // button face
    EXPECT_EQ(QColor(bar.stripImage().pixel(50, 5)), bar.palette().color(QPalette::Button));
}

TEST(TickBarAlign, FollowsTheParentEdge)
{
    QWidget parent;
    parent.resize(300, 200);
    auto* bar = new TtprProgressBar(&parent);
    bar->resize(50, 13);
    bar->setAlign(alBottom);
    EXPECT_EQ(bar->geometry(), QRect(0, 187, 300, 13));
    parent.show(); // Qt holds resizes of hidden windows back until they are shown
    parent.resize(400, 100);
    EXPECT_EQ(bar->geometry(), QRect(0, 87, 400, 13));
}
