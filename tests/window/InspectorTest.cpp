// The box inspector: the panels the selected kinds use, the values the panels show, the font
// panel's summary of the selected text and its actions on it.
#include "InspectorRig.h"
#include "platform/ui/SegmentedControl.h"
#include "window/SidebarContainerView.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace windowtest;

namespace {

// The panels' names in stacking order, for readable rows.
const char* const kPanelNames[14] = { "ImageButton", "Font", "OverlayColor", "BackgroundColor",
    "Border", "Stroke", "DropShadow", "InnerShadow", "Directions", "Common", "OtherProperties",
    "LabelProperties", "Frame", "RoundRect" };

QString hiddenPanels(const DocumentWindowOutlets& o)
{
    QStringList hidden;
    const auto panels = o.panels();
    for (std::size_t i = 0; i < panels.size(); ++i)
        if (panels[i]->isHidden())
            hidden << QLatin1String(kPanelNames[i]);
    return hidden.join(QLatin1Char(' '));
}

} // namespace

TEST(Inspector, PanelsFollowTheSelectedKinds)
{
    const BoxSpec text { Kind::Text };
    const BoxSpec picture { Kind::Image };
    const BoxSpec rect { Kind::Shape, shape::Rectangle };
    const BoxSpec round { Kind::Shape, shape::RoundedRectangle };
    const BoxSpec line { Kind::Shape, shape::Line };
    struct Row {
        const char* name;
        std::vector<BoxSpec> boxes;
        const char* hidden;
        int strokeHeight, commonHeight;
        bool heads, innerShadowSwitch, instantAlpha;
    };
    const Row rows[] = {
        { "one picture", { picture }, "Font Stroke OtherProperties RoundRect", 100, 216, false,
            false, true },
        { "two pictures", { picture, picture }, "Font Stroke OtherProperties Frame RoundRect", 100,
            216, false, false, false },
        { "one text", { text }, "ImageButton OverlayColor LabelProperties RoundRect", 100, 150,
            false, true, false },
        { "one rounded rectangle", { round }, "ImageButton Font OtherProperties", 100, 150, false,
            false, false },
        { "two rounded rectangles", { round, round },
            "ImageButton Font OtherProperties Frame RoundRect", 100, 150, false, false, false },
        { "a rectangle", { rect }, "ImageButton Font OtherProperties RoundRect", 100, 150, false,
            false, false },
        { "a line keeps its heads", { line },
            "ImageButton Font OverlayColor BackgroundColor OtherProperties RoundRect", 135, 150,
            true, false, false },
        { "text and line: the union of hidings", { text, line },
            "ImageButton Font OverlayColor BackgroundColor OtherProperties LabelProperties "
            "Frame RoundRect",
            100, 150, false, true, false },
    };
    InspectorWindow w;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.build(row.boxes);
        EXPECT_FALSE(w.o.textControlContainerView->isHidden());
        EXPECT_TRUE(w.o.mainControlContainerView->isHidden());
        EXPECT_EQ(hiddenPanels(w.o), QLatin1String(row.hidden));
        EXPECT_EQ(w.o.panelStroke->height(), row.strokeHeight);
        EXPECT_EQ(w.o.panelCommon->height(), row.commonHeight);
        EXPECT_EQ(!w.o.popupStartPoint->isHidden(), row.heads);
        EXPECT_EQ(!w.o.lblStrokePoints->isHidden(), row.heads);
        EXPECT_EQ(!w.o.segmentInnerShadow->isHidden(), row.innerShadowSwitch);
        if (!w.o.panelImageButton->isHidden()) {
            EXPECT_EQ(w.o.btInstantAlpha->isEnabled(), row.instantAlpha);
        }
        // Visible panels are stacked from the top without gaps, in list order.
        int y = 0;
        for (QWidget* panel : w.o.panels()) {
            if (panel->isHidden())
                continue;
            EXPECT_EQ(panel->y(), y);
            y += panel->height();
        }
        EXPECT_EQ(w.win.panelStackHeight(), y);
        EXPECT_EQ(w.o.seperatorStroke->y() + w.o.seperatorStroke->height() + 2,
            w.o.panelStroke->height());
    }
    w.build({ { Kind::Text, shape::Rectangle, false } });
    EXPECT_FALSE(w.o.mainControlContainerView->isHidden());
    EXPECT_TRUE(w.o.textControlContainerView->isHidden());
}

TEST(Inspector, SlidersShowThePictureOfTheSelection)
{
    InspectorWindow w;
    w.build({ { Kind::Image } });
    const platform::Image own = w.o.textboxOpacitySlider->image();
    EXPECT_FALSE(own.isNull());
    EXPECT_NE(own, w.win.originalThumbnail());
    EXPECT_EQ(w.o.textboxAngleSlider->image(), own);
    EXPECT_EQ(w.o.imageboxsaturationSlider->image(), own);
    EXPECT_TRUE(w.o.textboxOpacitySlider->usePreviewImage());

    w.build({ { Kind::Image }, { Kind::Image } });
    EXPECT_EQ(w.o.textboxOpacitySlider->image(), w.win.originalThumbnail());
    EXPECT_EQ(w.o.textboxAngleSlider->image(), w.win.originalThumbnail());

    w.build({ { Kind::Text } });
    EXPECT_FALSE(w.o.textboxOpacitySlider->usePreviewImage());
    EXPECT_FALSE(w.o.textboxAngleSlider->usePreviewImage());
    EXPECT_NE(w.o.textboxOpacitySlider->image(), w.win.originalThumbnail());
}

TEST(Inspector, ScrollsToTopOnlyWhenTheInspectorComesIntoView)
{
    InspectorWindow w;
    w.build({ { Kind::Text }, { Kind::Image } });
    // Room to scroll: a short sidebar.
    w.o.panelScrollView->resize(w.o.panelScrollView->width(), 200);
    w.win.ShowSideBar();
    w.o.panelScroller->setValue(120);
    w.win.ShowSideBar();
    EXPECT_EQ(w.o.panelScroller->value(), 120);
    w.boxes().removeAllSelection();
    w.win.ShowSideBar();
    w.o.panelScroller->setValue(120);
    w.boxes().selectAll();
    w.win.ShowSideBar();
    EXPECT_EQ(w.o.panelScroller->value(), 0);
}
