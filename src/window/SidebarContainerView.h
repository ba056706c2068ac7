#pragma once
// The sidebar's three containers, filled with the sidebar's dark background 0x181918.
//
// A container whose controls may be taller than the window puts them in scrollingContent():
// they then scroll, by the wheel and a thin bar that shows only while there is more to see.
#include "platform/ui/Control.h"

class QScrollArea;

class SidebarContainerView : public platform::Control {
public:
    explicit SidebarContainerView(QWidget* parent = nullptr)
        : Control(parent)
    {
    }

    // The widget to place the controls in, made on first use; its height follows its lowest
    // child (plus a margin) and never falls below the container's.
    QWidget* scrollingContent();
    QScrollArea* scrollArea() const { return m_scrollArea; }
    // Sizes the scrolling content to its children; call after adding or moving them.
    void fitContent();

    // Gives area the sidebar's background behind its content and a thin dark bar, shown only
    // while the content is taller than the area. Call once the content is set.
    static void styleScrollArea(QScrollArea& area);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QScrollArea* m_scrollArea = nullptr;
};
