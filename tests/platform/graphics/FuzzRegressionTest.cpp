// Every input that once crashed or hung the path fuzz target, replayed through the target's own
// entry so that it is guarded without clang.
#include "../../../fuzz/CoverageInput.h"
#include "../../../fuzz/RegressionInputs.h"

#include <gtest/gtest.h>

TEST(CoverageFuzzRegressions, EveryKeptPathIsDrawnSafely)
{
    const QString folder = fuzzinput::regressionFolder("coverage_fuzz");
    for (const auto& input : fuzzinput::regressionInputs(folder)) {
        SCOPED_TRACE(input.name.toStdString());
        fuzzinput::rasterisePath(reinterpret_cast<const std::uint8_t*>(input.bytes.constData()),
            size_t(input.bytes.size()));
    }
}
