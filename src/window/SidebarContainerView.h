#pragma once
// The sidebar's three containers, filled with the sidebar's dark background 0x181918.
#include "platform/ui/Control.h"

class SidebarContainerView : public platform::Control {
public:
    explicit SidebarContainerView(QWidget* parent = nullptr)
        : Control(parent)
    {
    }

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
};
