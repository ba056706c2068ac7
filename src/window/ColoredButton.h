#pragma once
// The sidebar's picture buttons. A ColoredButton shows a colour swatch (the shadow colour)
// with a grey outline behind its picture; its picture is drawn by the cell rules below,
// dimmed by state: 0.5 while pressed, 0.2 when disabled, 0.75 while hovered, else opaque. A
// button with the text-only cell shows its title and no picture. The action is sent when a
// press is released over the button.
#include "platform/ui/Control.h"

#include <QString>

class ColoredButton : public platform::Control {
public:
    enum class CellStyle { Picture, TextOnly };

    explicit ColoredButton(QWidget* parent = nullptr);

    bool buttonHovered() const { return isHovered(); }
    platform::Color coloringColor() const { return m_coloringColor; }
    void setColoringColor(const platform::Color& color);
    platform::Image image() const { return m_image; }
    void setImage(const platform::Image& image);
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    void setCellStyle(CellStyle style);
    // Whether the swatch and its outline are drawn (a plain picture button has none).
    void setDrawsSwatch(bool draws);

    // The picture's alpha for a button state.
    static double pictureAlpha(bool highlighted, bool enabled, bool hovered);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;

private:
    platform::Color m_coloringColor = platform::Color::clear();
    platform::Image m_image;
    QString m_title;
    CellStyle m_style = CellStyle::Picture;
    bool m_drawsSwatch = true;
};
