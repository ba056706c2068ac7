#pragma once
// The export panel: a save panel for a JPEG with a quality slider (0 to 100), which starts where
// the user left it last time (100 at first).
// The application shows a Qt file dialog with the slider added to it; tests install a
// ScriptedExportPanel, so nothing ever blocks on a dialog.
#include <QString>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

struct ExportPanelRequest {
    QString defaultName; // the file name offered, ".jpg" included
    QWidget* window = nullptr;
    QString directory; // where the panel starts
    double qualityPercent = 100.0; // where the slider starts
};

struct ExportChoice {
    QString path; // ".jpg" appended when the user left it out
    double qualityPercent = 100.0; // the slider, 0 to 100
};

class ExportPanel {
public:
    virtual ~ExportPanel() = default;
    // The chosen file and quality, or nothing when the user cancelled.
    virtual std::optional<ExportChoice> run(const ExportPanelRequest& request) = 0;

    static ExportPanel& current();
    // The quality the user chose last in this session (100 before any choice); remembered by
    // rememberQuality, kept within 0..100.
    static double lastQualityPercent();
    static void rememberQuality(double percent);
    // Installs panel (nullptr restores the dialog); returns the previous one.
    static std::shared_ptr<ExportPanel> install(std::shared_ptr<ExportPanel> panel);
};

// Answers from a queue filled in advance (empty = cancel) and records the requests.
class ScriptedExportPanel final : public ExportPanel {
public:
    std::deque<std::optional<ExportChoice>> answers;
    std::vector<ExportPanelRequest> requests;

    std::optional<ExportChoice> run(const ExportPanelRequest& request) override;
};
