#pragma once
// The inspector's editor of one fill: a drop-down of the seven fill kinds, a preview, the
// colour of a plain fill or of the two ends of a simple gradient through the shared colour
// panel, the stops of a multi-stop gradient edited on the preview (a click adds, a drag
// moves, a click recolours, a right-click removes), the angle of linear kinds through a
// stepper, a field and a knob, and the picture and scale mode of a picture fill.
//
// The editor keeps its own copy of the fill: setGradient() copies, and the owner learns of
// each edit through the delegate, reading the new value from gradient(). Until then the
// owner's fill is unchanged, so it can take its before-snapshot and then apply the value.
#include "foundation/SZGradient.h"
#include "platform/ui/Control.h"
#include "window/AngleCtrl.h"

#include <QPointer>
#include <functional>

class QComboBox;
class QLineEdit;
#include <QMenu>
class QToolButton;
namespace platform {
class Stepper;
}

class GradientCtrl : public platform::Control, public AngleCtrlDelegate {
    Q_OBJECT
public:
    // Sent after the fill was changed; the delegate reads gradient().
    using Delegate = std::function<void(GradientCtrl&)>;

    explicit GradientCtrl(QWidget* parent = nullptr);
    ~GradientCtrl() override;

    // Builds the sub-controls for the current size and installs a default fill. Once, before
    // any other use.
    void initControls();

    void setGradient(const SZGradient& fill);
    const SZGradient& gradient() const { return m_gradient; }
    void setDelegate(Delegate delegate) { m_delegate = std::move(delegate); }

    // 1 while a stop of a multi-stop gradient is selected, with its index.
    int mouseState() const { return m_mouseState; }
    int mouseSubId() const { return m_mouseSubId; }

    // The preview rectangle R for the current kind, y-up.
    platform::Rect previewRect() const;
    // The colour circles of the two-colour kinds.
    platform::Rect circleRect(int stop) const;

    // Menu and sub-control actions (also what tests drive).
    void downClicked();
    void chooseKind(int kind);
    void swapClicked();
    void angleCtrlChanged(AngleCtrl& sender, float angle) override;
    void angleStepperDidChange();
    void angleValueDidChange();
    void popupChanged(int index);
    // A colour delivered by the shared colour panel for identifier.
    void colorPanel(const QString& identifier, const platform::Color& colour);

    // The sub-controls, for the window's layout and for tests.
    AngleCtrl* angleCtrl() const { return m_angleCtrl; }
    QLineEdit* angleField() const { return m_angleField; }
    platform::Stepper* angleStepper() const { return m_angleStepper; }
    QToolButton* btnDown() const { return m_btnDown; }
    QToolButton* btnSwap() const { return m_btnSwap; }
    QComboBox* popup() const { return m_popup; }
    // The fill-kind menu last built by downClicked(), or nullptr.
    QMenu* kindMenu() const { return m_menu; }

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseDown(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDragged(const platform::Point& location, unsigned modifierFlags) override;
    void rightMouseDown(const platform::Point& location, unsigned modifierFlags) override;

private:
    double previewWidth() const;
    void keepSwapOffTheCircles();
    // The fill's stops, padded to two when a decoded fill has fewer.
    platform::Gradient stops() const;
    void setStops(std::vector<platform::GradientStop> stops);
    void refresh() { setGradient(m_gradient); }
    void notify();
    void openColorPanel(const QString& identifier, const platform::Color& colour);
    // Asks for a picture; true when one was loaded into the fill. False on cancel, an
    // unreadable file, or when the editor went away while the panel was up (then touch
    // nothing of this).
    bool choosePicture();
    void drawMarkers(platform::GraphicsContext& ctx, const platform::Rect& R);

    SZGradient m_gradient;
    Delegate m_delegate;
    int m_mouseState = 0;
    int m_mouseSubId = 0;

    AngleCtrl* m_angleCtrl = nullptr;
    QLineEdit* m_angleField = nullptr;
    platform::Stepper* m_angleStepper = nullptr;
    QToolButton* m_btnDown = nullptr;
    QToolButton* m_btnSwap = nullptr;
    QComboBox* m_popup = nullptr;
    QPointer<QMenu> m_menu;
};
