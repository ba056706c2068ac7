#pragma once
// The frame and corner panels of the box inspector: the selected box's width, height and
// position in whole pixels, with a lock that keeps its aspect, and the four corner radii of a
// rounded shape, with a lock that sets all four together. The fields (tags 0 to 3) and their
// steppers (100 to 103) are reached by tag.
#include "window/InspectorPanel.h"

#include <array>
#include <optional>

class MyShapeView;
class QLineEdit;
class QPushButton;
class QWidget;
namespace platform {
class Rect;
class Stepper;
} // namespace platform

class FramePanel : public InspectorPanel {
public:
    explicit FramePanel(InspectorHost& host);

    // The frame of the last selected box, the radii of the last selected rounded shape (0
    // without one).
    void refresh(const std::vector<MyViewBase*>& boxes) override;
    // Both locks on.
    void startSelection() override;
    // The edited box grows and shrinks with its text: the frame shows it as it now is.
    void showEditedText(MyTextBox& box, platform::TextRange range) override;

    // A stepper writes its field, then acts as the field.
    void frameStepperChanged(platform::Stepper& sender);
    // The leading whole number, held to the stepper's range (a side is at least 1), goes to
    // the box; the panel then shows what the box has. Text without a number changes nothing.
    void frameTextFieldChanged(QLineEdit& sender);
    void roundRectStepperChanged(platform::Stepper& sender);
    void roundRectTextFieldChanged(QLineEdit& sender);
    // Show the lock's state: "lockbutton1" locked, "lockbutton" open.
    void btnFrameLockClicked(QPushButton& sender);
    void btnRoundReckClicked(QPushButton& sender);

    // The frame of the first selected box; originOnly leaves width and height as they are.
    void UpdateBoxFrameInfo(bool originOnly);
    // The radii of the first selected rounded shape.
    void UpdateBoxRoundInfo();

    static QString lockImageName(bool locked);

private:
    void showFrame(const platform::Rect& frame, bool originOnly);
    // Radii in field order (tags 0 to 3); max is the largest radius the shape can take.
    void showCorners(const std::array<int, 4>& radii, int max);
    // The radii of a rounded shape, or 0 each without one.
    void showCornersOf(const MyShapeView* rounded);
    // A field and its stepper by tag: the stepper holds the value, the field shows it in px.
    static void showByTag(QWidget* panel, int tag, int value);
    void showLock(QPushButton& button);
    void stepperChanged(platform::Stepper& sender, void (FramePanel::*fieldAction)(QLineEdit&));
    static std::optional<int> typedValue(const QLineEdit& field);
};
