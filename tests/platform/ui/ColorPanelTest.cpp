// The shared colour panel: committed picks reach the current action only, a detached or dead
// receiver gets nothing, and the dialog's intermediate colours are not delivered.
#include "platform/ui/ColorPanel.h"

#include <QColorDialog>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;

TEST(ColorPanel, DeliversCommittedPicksToTheCurrentReceiverOnly)
{
    ColorPanel& panel = ColorPanel::shared();
    EXPECT_EQ(&panel, &ColorPanel::shared());
    std::vector<std::pair<QString, Color>> got;
    auto record = [&](ColorPanel& p) { got.emplace_back(p.identifier(), p.color()); };

    panel.setIdentifier(QStringLiteral("shadowColorIdentifier_XYZ"));
    panel.setAction(record);
    panel.setColor(Color(0, 0, 1)); // shown, not delivered
    panel.commitColor(Color(1, 0, 0, 0.5));
    // Re-targeted: the next pick goes to the new identifier's owner.
    panel.setIdentifier(QStringLiteral("textColorIdentifier_XYZ"));
    panel.commitColor(Color(0, 1, 0));
    // Detached with a null action.
    panel.setIdentifier(QStringLiteral("emptyColorIdentifier_XYZ"));
    panel.setAction(nullptr);
    panel.commitColor(Color(0, 0, 0));

    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].first, QStringLiteral("shadowColorIdentifier_XYZ"));
    EXPECT_EQ(got[0].second, Color(1, 0, 0, 0.5));
    EXPECT_EQ(got[1].first, QStringLiteral("textColorIdentifier_XYZ"));
}

TEST(ColorPanel, AColourAfterItsControlDiedGoesNowhere)
{
    ColorPanel& panel = ColorPanel::shared();
    int calls = 0;
    auto guard = std::make_unique<QObject>();
    panel.setAction([&](ColorPanel&) { ++calls; }, guard.get());
    panel.commitColor(Color(1, 1, 1));
    guard.reset();
    EXPECT_FALSE(panel.hasAction());
    panel.commitColor(Color(0, 0, 0));
    EXPECT_EQ(calls, 1);
    panel.setAction(nullptr);
}

TEST(ColorPanel, OnlyTheDialogsConfirmationIsDelivered)
{
    ColorPanel& panel = ColorPanel::shared();
    int calls = 0;
    panel.setAction([&](ColorPanel&) { ++calls; });
    panel.setShowsAlpha(true);
    panel.orderFront();
    QColorDialog* dialog = panel.dialog();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    dialog->setCurrentColor(QColor(10, 20, 30)); // the user browsing colours
    EXPECT_EQ(calls, 0);
    emit dialog->colorSelected(QColor(255, 0, 0)); // the user confirming
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(panel.color(), Color(1, 0, 0));
    panel.close();
    EXPECT_FALSE(panel.isVisible());
    panel.setAction(nullptr);
}
