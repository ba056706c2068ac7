#pragma once
// The hint bubble: a small dark rounded bubble over the canvas with a short white help text
// (how to remove a colour, draw with the pen, edit a shape's points) or a value next to the
// pointer while a shape handle is dragged. The canvas makes one per window; the container
// fills and shows it (showAlert) and hides it (hideAlert).
//
// A bubble at least 150 wide carries a close box in its top-right corner and lays its text out
// from the left; a narrower one has none and centres its text. Once the user has closed the
// bubble, it stays hidden whenever it is wider than 150: visible exactly when a show was last
// asked for and not (closed by the user and wider than 150). That is re-evaluated on every
// frame change, so a narrow value hint shown after the close still appears, and growing it back
// to a wide help bubble hides it again.
//
// Visibility goes through setHidden here (it hides View::setHidden: ask through this class).
#include "platform/geometry/Rect.h"
#include "platform/ui/View.h"

#include <QString>
#include <cstdint>

class MyInstantAlphaView : public platform::View {
public:
    // Widths below this get no close box and centred text; closed bubbles above it stay hidden.
    static constexpr double kCloseBoxMinWidth = 150.0;
    static constexpr double kCloseBoxSide = 15.0;
    // The close box's bottom-left corner is this far in from the top-right corner.
    static constexpr double kCloseBoxInset = 20.0;
    static constexpr double kCornerRadius = 5.0;
    static constexpr double kFillAlpha = 0.7;
    static constexpr double kFontSize = 13.0;

    // A shown bubble with the frame, text and line count (1 to 3 set the text's height).
    MyInstantAlphaView(const platform::Rect& frame, const QString& text, int lines);

    // Setting these does not redraw by itself.
    const QString& string() const { return m_string; }
    void setString(const QString& text) { m_string = text; }
    int linesCount() const { return m_linesCount; }
    void setLinesCount(int lines) { m_linesCount = lines; }

    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;

    // A request to show or hide; see the header comment for when a show is not obeyed.
    void setHidden(bool hidden);
    bool isClosedManually() const { return m_closedManually; }
    // The close box's action: hides the bubble, which from then on stays hidden while wide.
    void closeClicked();
    // The close box subview (hidden below kCloseBoxMinWidth).
    platform::View* closeBox() const { return m_closeBox; }

    // Where the text is laid out, in the bubble's own space: inset by a twentieth of the width
    // on each side and vertically centred at 15 points a line; any other line count keeps the
    // bounds' height.
    platform::Rect textRect() const;
    // The narrowest bubble whose text rectangle holds each line of text unbroken.
    static double widthToFit(const QString& text);

    bool becomeFirstResponder() override { return false; }
    void updateTrackingAreas() override;
    // The arrow cursor over the visible close box; elsewhere the event goes on up.
    bool mouseMoved(const platform::Event& event) override;
    bool cursorUpdate(const platform::Event& event) override;
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

private:
    void frameDidChange();
    void applyVisibility();
    bool arrowOverCloseBox(const platform::Event& event);

    platform::View* m_closeBox = nullptr; // owned by the view tree (a subview)
    std::uint64_t m_trackingArea = 0;
    bool m_closedManually = false;
    bool m_hideRequested = false; // what was last asked for
    QString m_string;
    int m_linesCount = 0;
};
