#include "app/ExportPanel.h"

#include "platform/document/PanelPresenter.h"
#include "platform/document/PresenterSlot.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <algorithm>
#include <cmath>

namespace {

// A non-native dialog: only Qt's own file dialog takes an extra control.
class ExportDialogPanel final : public ExportPanel {
public:
    std::optional<ExportChoice> run(const ExportPanelRequest& request) override
    {
        QFileDialog dialog(request.window, QStringLiteral("Export JPEG image"), request.directory);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("JPEG image (*.jpg)"));
        dialog.setDefaultSuffix(QStringLiteral("jpg"));
        dialog.selectFile(request.defaultName);
        auto* slider = new QSlider(Qt::Horizontal, &dialog);
        slider->setRange(0, 100);
        slider->setValue(int(std::lround(request.qualityPercent)));
        auto* value = new QLabel(QString::number(slider->value()), &dialog);
        QObject::connect(
            slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* row = new QHBoxLayout;
            row->addWidget(slider);
            row->addWidget(value);
            grid->addWidget(new QLabel(QStringLiteral("Quality:"), &dialog), grid->rowCount(), 0);
            grid->addLayout(row, grid->rowCount() - 1, 1);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return ExportChoice { platform::PanelPresenter::withSuffix(
                                  dialog.selectedFiles().front(), "jpg"),
            double(slider->value()) };
    }
};

using Slot = platform::PresenterSlot<ExportPanel, ExportDialogPanel>;

double& rememberedQuality()
{
    static double percent = 100.0;
    return percent;
}

} // namespace

double ExportPanel::lastQualityPercent()
{
    return rememberedQuality();
}

void ExportPanel::rememberQuality(double percent)
{
    if (std::isfinite(percent))
        rememberedQuality() = std::clamp(percent, 0.0, 100.0);
}

ExportPanel& ExportPanel::current()
{
    return Slot::current();
}

std::shared_ptr<ExportPanel> ExportPanel::install(std::shared_ptr<ExportPanel> panel)
{
    return Slot::install(std::move(panel));
}

std::optional<ExportChoice> ScriptedExportPanel::run(const ExportPanelRequest& request)
{
    requests.push_back(request);
    if (answers.empty())
        return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}
