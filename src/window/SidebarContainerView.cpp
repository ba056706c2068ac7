#include "window/SidebarContainerView.h"

#include "foundation/ColorAdditions.h"

void SidebarContainerView::drawRect(platform::GraphicsContext& ctx, const platform::Rect&)
{
    platform::GStateGuard guard(ctx);
    ctx.setFillColor(colorWithValue(0x181918));
    ctx.fillRect(bounds());
}
