// Every input that once crashed or hung the path fuzz target, and the edge cases kept beside
// them, replayed through the target's own entry so that they are guarded without clang.
#include "../../../fuzz/CoverageInput.h"
#include "../../../fuzz/RegressionInputs.h"

#include <gtest/gtest.h>

TEST(CoverageFuzzRegressions, EveryKeptPathIsDrawnSafely)
{
    const QString folder = fuzzinput::regressionFolder("coverage_fuzz");
    const auto inputs = fuzzinput::regressionInputs(folder);
    ASSERT_FALSE(inputs.empty()) << folder.toStdString();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        fuzzinput::rasterisePath(reinterpret_cast<const std::uint8_t*>(input.bytes.constData()),
            size_t(input.bytes.size()));
    }
}
