#include "foundation/SharedFunctions.h"

#include "foundation/AlertAdditions.h"
#include "foundation/ColorAdditions.h"
#include "platform/document/AlertPresenter.h"

#include <gtest/gtest.h>

using platform::Color;
using platform::Rect;

TEST(ColorAdditions, ColorWithValueReadsRgbBitsOnly)
{
    struct Row {
        const char* name;
        std::int32_t value;
        Color expected;
    } rows[] = {
        { "orange", 0xFF8000, { 1.0, double(128.0f / 255.0f), 0.0, 1.0 } },
        { "grey 0x181818", 0x181818,
            { double(24.0f / 255.0f), double(24.0f / 255.0f), double(24.0f / 255.0f), 1.0 } },
        { "only bits above 23", 16777216, { 0, 0, 0, 1 } },
        { "negative keeps low bits", -1, { 1, 1, 1, 1 } },
    };
    for (const auto& row : rows)
        EXPECT_EQ(colorWithValue(row.value), row.expected) << row.name;
}

TEST(ColorAdditions, ColorByAddingDoesNotClamp)
{
    const Color c = colorByAdding({ 0.95, 0.5, 0.0, 0.4 }, 0.1f);
    EXPECT_NEAR(c.red, 1.05, 1e-6);
    EXPECT_NEAR(c.green, 0.6, 1e-6);
    EXPECT_NEAR(c.blue, 0.1, 1e-6);
    EXPECT_EQ(c.alpha, 0.4);
}

TEST(SharedFunctions, RectFitting)
{
    EXPECT_EQ(RectWithAspectRatioInRect({ 0, 0, 200, 100 }, 1), Rect(50, 0, 100, 100));
    EXPECT_EQ(RectWithAspectRatioInRect({ 0, 0, 200, 100 }, 4), Rect(0, 25, 200, 50));
    EXPECT_EQ(RectWithAspectRatioInRect({ 3, 4, 200, 100 }, 0), Rect(3, 4, 200, 100));
    // A zero height must not trip anything: the result is simply degenerate.
    const Rect flat = RectWithAspectRatioInRect({ 0, 0, 10, 0 }, 2);
    EXPECT_EQ(flat.width(), 0);

    Rect r(0, 0, 20, 10);
    CenterRectInRect(r, { 0, 0, 100, 50 });
    EXPECT_EQ(r, Rect(40, 20, 20, 10));
}

TEST(SharedFunctions, OptionalActionRunsOnlyWhenSet)
{
    int calls = 0;
    std::function<void(int)> action;
    PerformSelectorIfResponding(action, 3); // unset: nothing happens
    action = [&](int v) { calls += v; };
    PerformSelectorIfResponding(action, 3);
    EXPECT_EQ(calls, 3);
}

namespace {
struct RecordingPresenter : platform::AlertPresenter {
    std::vector<std::pair<platform::AlertStyle, QString>> shown;
    void runModal(platform::AlertStyle style, const QString& message) override
    {
        shown.emplace_back(style, message);
    }
};
} // namespace

TEST(AlertAdditions, RunModalErrorIsCriticalWithTheMessageAlone)
{
    auto recorder = std::make_shared<RecordingPresenter>();
    auto previous = platform::AlertPresenter::install(recorder);
    runModalError(QStringLiteral("Unsupported image format!"));
    platform::AlertPresenter::install(previous);
    ASSERT_EQ(recorder->shown.size(), 1u);
    EXPECT_EQ(recorder->shown[0].first, platform::AlertStyle::Critical);
    EXPECT_EQ(recorder->shown[0].second, QStringLiteral("Unsupported image format!"));
}
