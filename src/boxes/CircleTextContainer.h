#pragma once
// The text container of a text box: it shapes the lines of circular and vertical text.
//
//  - Vertical (tested first): every line is a column one grapheme cluster wide (its width
//    plus one), centred on the proposed line, so that each line holds one character and a
//    surrogate pair or a combining sequence is never split.
//  - Circular: with R = min(width, height) / 2 of the container, a line is cut to the chord
//    of the circle of radius R whose top touches the container's top and whose centre is R to
//    the right of the proposed line's left edge; a line wholly outside the circle gets width 0.
//  - Otherwise the proposed line is answered as the base container answers it.
//
// Coordinates are the text system's (top-left origin, y down).
#include "platform/text/TextContainer.h"

class CircleTextContainer : public platform::TextContainer {
public:
    explicit CircleTextContainer(platform::Size size);

    platform::Rect lineFragmentRect(const platform::Rect& proposed, int characterIndex,
        const platform::AttributedString& text, platform::Rect* remaining) override;
    bool isSimpleRectangularTextContainer() const override { return false; }
    bool fragmentShapeDependsOnY() const override { return _isCircular && !_isVertical; }

    bool isCircular() const { return _isCircular; }
    void setIsCircular(bool circular);
    bool isVertical() const { return _isVertical; }
    void setIsVertical(bool vertical);

    // The width of the character last measured for a vertical line.
    double charWidth() const { return _charWidth; }

    // The width of the grapheme cluster that starts at index (0 past the end), set alone.
    static double clusterWidth(const platform::AttributedString& text, int index);

private:
    double _charWidth = 0.0;
    bool _isCircular = false;
    bool _isVertical = false;
};
