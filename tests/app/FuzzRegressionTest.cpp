// Every input that once crashed, hung or exhausted the document fuzz target, replayed through
// the target's own entry so that it is guarded without clang; and every kept input either opens
// or is refused with a reason the person can be told.
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

TEST(DocumentFuzzRegressions, EveryKeptInputOpensOrIsRefusedWithItsReason)
{
    const auto inputs = fuzzinput::regressionInputs(fuzzinput::regressionFolder("document_fuzz"));
    ASSERT_FALSE(inputs.empty());
    int overLimit = 0;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        const DocumentFile::ReadResult result = DocumentFile::read(input.bytes);
        if (const auto* error = std::get_if<platform::DocumentError>(&result)) {
            EXPECT_FALSE(error->reason.isEmpty());
            // Documents cut anywhere are told as such.
            if (input.name.startsWith("document-cut-")) {
                EXPECT_EQ(error->reason, "it is damaged (cut short)");
            }
        }
        // Documents holding more than a box keeps open in part, and know what was cut.
        if (input.name.endsWith("-over-the-limit")) {
            ++overLimit;
            const auto* contents = std::get_if<DocumentContents>(&result);
            ASSERT_TRUE(contents);
            EXPECT_FALSE(contents->cuts.empty());
            EXPECT_TRUE(contents->leftContentOut());
        }
    }
    EXPECT_GE(overLimit, 2) << "the kept documents past a box's limits";
}
