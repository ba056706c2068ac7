#include "window/SidebarContainerView.h"

#include "foundation/ColorAdditions.h"

#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>

namespace {
constexpr int kBottomMargin = 8;
}

void SidebarContainerView::drawRect(platform::GraphicsContext& ctx, const platform::Rect&)
{
    platform::GStateGuard guard(ctx);
    ctx.setFillColor(colorWithValue(0x181918));
    ctx.fillRect(bounds());
}

void SidebarContainerView::styleScrollArea(QScrollArea& area)
{
    area.setFrameShape(QFrame::NoFrame);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area.verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 6px; background: transparent; margin: 0; }"
        "QScrollBar::handle:vertical { background: #5a5a5c; border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    for (QWidget* w : { area.widget(), area.viewport() }) {
        if (!w)
            continue;
        QPalette dark = w->palette();
        dark.setColor(QPalette::Window, QColor(0x18, 0x19, 0x18));
        w->setPalette(dark);
        w->setAutoFillBackground(true);
    }
}

QWidget* SidebarContainerView::scrollingContent()
{
    if (m_scrollArea)
        return m_scrollArea->widget();
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setWidget(new QWidget);
    styleScrollArea(*m_scrollArea);
    m_scrollArea->setGeometry(0, 0, width(), height());
    return m_scrollArea->widget();
}

void SidebarContainerView::fitContent()
{
    if (!m_scrollArea)
        return;
    QWidget* content = m_scrollArea->widget();
    int bottom = 0;
    for (const QWidget* child : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        bottom = std::max(bottom, child->geometry().bottom() + 1);
    content->resize(width(), std::max(bottom + kBottomMargin, m_scrollArea->height()));
}

void SidebarContainerView::resizeEvent(QResizeEvent* event)
{
    Control::resizeEvent(event);
    if (!m_scrollArea)
        return;
    m_scrollArea->setGeometry(0, 0, width(), height());
    fitContent();
}
