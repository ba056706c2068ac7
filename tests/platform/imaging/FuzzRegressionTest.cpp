// Every input that once crashed, hung or exhausted the picture fuzz target, replayed through the
// target's own entry so that it is guarded without clang.
#include "../../../fuzz/PictureInput.h"
#include "../../../fuzz/RegressionInputs.h"

#include <gtest/gtest.h>

TEST(PictureFuzzRegressions, EveryKeptInputLoadsOrFailsSafely)
{
    const QString folder = fuzzinput::regressionFolder("picture_fuzz");
    const auto inputs = fuzzinput::regressionInputs(folder);
    ASSERT_FALSE(inputs.empty()) << folder.toStdString();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        const platform::LoadedPicture picture = fuzzinput::loadPicture(input.bytes);
        EXPECT_NE(picture.ok(), !picture.error.isEmpty());
    }
}
