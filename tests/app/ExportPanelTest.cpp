// The real export dialog, driven headless: its quality slider and folder start as asked, the value
// chosen comes back with the path, ".jpg" is appended to a name without it, and cancelling gives
// nothing.
#include "app/ExportPanel.h"

#include "support/NamedCase.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct DialogRow {
    const char* name;
    const char* typed; // empty: cancel
    int slider; // -1: leave it
    const char* expectedFile;
    double expectedPercent;
};

class ExportDialog : public ::testing::TestWithParam<DialogRow> { };

TEST_P(ExportDialog, AnswersWhatWasChosen)
{
    const DialogRow& row = GetParam();
    const auto previous = ExportPanel::install(nullptr);
    QTemporaryDir dir;
    int startValue = -1;
    QString startFolder;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        startFolder = dialog->directory().absolutePath();
        auto* slider = dialog->findChild<QSlider*>();
        if (slider) {
            startValue = slider->value();
            if (row.slider >= 0)
                slider->setValue(row.slider);
        }
        if (!*row.typed) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(dir.path());
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(row.typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    ExportPanelRequest request;
    request.defaultName = QStringLiteral("Quillmark draft.jpg");
    request.directory = dir.path();
    request.qualityPercent = 70;
    const auto choice = ExportPanel::current().run(request);
    ExportPanel::install(previous);
    EXPECT_EQ(startValue, 70) << "the slider starts where the request says";
    EXPECT_EQ(startFolder, dir.path());
    if (!*row.expectedFile) {
        EXPECT_FALSE(choice);
        return;
    }
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->path, dir.filePath(row.expectedFile));
    EXPECT_EQ(choice->qualityPercent, row.expectedPercent);
}

INSTANTIATE_TEST_SUITE_P(ExportPanel, ExportDialog,
    ::testing::Values(DialogRow { "quality_as_asked", "photo.jpg", -1, "photo.jpg", 70 },
        DialogRow { "quality_75_suffix_added", "photo", 75, "photo.jpg", 75 },
        DialogRow { "quality_0", "dark.jpg", 0, "dark.jpg", 0 },
        DialogRow { "cancelled", "", 40, "", 0 }),
    testsupport::RowName());

} // namespace
