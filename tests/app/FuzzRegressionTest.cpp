// Every input that once crashed, hung or exhausted the document fuzz target, replayed through
// the target's own entry so that it is guarded without clang.
#include "../../fuzz/DocumentInput.h"
#include "../../fuzz/RegressionInputs.h"

#include <gtest/gtest.h>

TEST(DocumentFuzzRegressions, EveryKeptInputOpensSafely)
{
    const auto inputs = fuzzinput::regressionInputs(fuzzinput::regressionFolder("document_fuzz"));
    if (inputs.empty())
        GTEST_SKIP() << "no kept inputs";
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        fuzzinput::openDocument(input.bytes);
    }
}
