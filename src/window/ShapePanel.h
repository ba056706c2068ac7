#pragma once
// The shape picker: a transparent panel holding a white callout with one button per shape
// kind. A pick hands the clicked button to the target (which reads its tag as the shape kind)
// and then fades the panel out over 0.3 s; losing focus hides the panel at once.
//
// Ownership: the document window owns the picker (as its QObject parent) and the picker owns
// its panel; the target is a plain callback, so nothing holds the window. The fade's end runs
// only for the showing it belongs to: a picker shown again within the fade stays up, and
// nothing runs once the picker is gone.
#include "platform/geometry/Rect.h"
#include "platform/ui/Control.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class BackgroundView;
class QPropertyAnimation;

// One shape kind's button; its tag is the shape type the box container accepts.
class ShapeButton : public platform::Control {
public:
    ShapeButton(int tag, QWidget* parent);
    int tag() const { return m_tag; }

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;

private:
    int m_tag;
};

// The panel itself: frameless, see-through, keyed like a window.
class ShapePanelWindow : public QWidget {
    Q_OBJECT
public:
    explicit ShapePanelWindow(QWidget* owner);

    bool canBecomeKeyWindow() const { return true; }
    // The current frame resized to size with its top-right corner kept where it is.
    QRect frameForSize(const QSize& size) const;
    // Sets the frame; while the user resizes the title-less panel live, only the size is
    // taken and the top-right corner stays.
    void setFrame(const QRect& frame);
    void setInLiveResize(bool live) { m_inLiveResize = live; }

    // Losing key status orders the panel out.
    void resignKeyWindow() { hide(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    bool m_inLiveResize = false;
};

class ShapePanel : public QObject {
    Q_OBJECT
public:
    using Target = std::function<void(ShapeButton& sender)>;

    // The picker of owner (a window); the panel is built when first shown.
    explicit ShapePanel(QWidget* owner);
    ~ShapePanel() override;

    void setTarget(Target target) { m_target = std::move(target); }

    // Builds the panel on first use and shows it opaque; stops a fade-out under way so that
    // the new showing stays up. Placing and fading in are the caller's work.
    void showWindow();
    ShapePanelWindow* panel();
    BackgroundView* backgroundView();
    const std::vector<ShapeButton*>& buttons();

    // A pick: the target first, then the fade-out, then the panel is hidden.
    void shapeClicked(ShapeButton& sender);

    static constexpr int kFadeMilliseconds = 300;
    static constexpr int kWidth = 264;
    static constexpr int kHeight = 472;

private:
    void windowDidLoad();

    QPointer<QWidget> m_owner;
    QPointer<ShapePanelWindow> m_panel;
    BackgroundView* m_backgroundView = nullptr;
    std::vector<ShapeButton*> m_buttons;
    QPointer<QPropertyAnimation> m_fade;
    Target m_target;
    // Counts showings; a fade's end that belongs to an older showing does nothing.
    unsigned m_generation = 0;
};
