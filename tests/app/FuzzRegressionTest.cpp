// Every input that once crashed, hung or exhausted the document fuzz target, replayed through
// the target's own entry so that it is guarded without clang.
#include "../../fuzz/DocumentInput.h"
#include "../../fuzz/RegressionInputs.h"

#include <gtest/gtest.h>

TEST(DocumentFuzzRegressions, EveryKeptInputOpensSafely)
{
    const QString folder = fuzzinput::regressionFolder("document_fuzz");
    const auto inputs = fuzzinput::regressionInputs(folder);
    ASSERT_FALSE(inputs.empty()) << folder.toStdString();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        fuzzinput::openDocument(input.bytes);
    }
}
