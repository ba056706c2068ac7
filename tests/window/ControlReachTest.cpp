// Every control a person sees in the inspector can be pressed where it shows: for each kind of
// selection, the widget under points of each visible control's visible area is that control
// or a part of it, the colour circles of a two-colour fill belong to their well, and a press
// on each lock toggles it.
#include "PersonDriving.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SidebarContainerView.h"
#include "window/Window.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace windowtest;

namespace {

// What a person can press: buttons, fields, pop-ups and our own drawn controls.
bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w)
        || qobject_cast<const QComboBox*>(w) || dynamic_cast<const platform::Stepper*>(w)
        || dynamic_cast<const platform::SegmentedControl*>(w)
        || dynamic_cast<const GradientCtrl*>(w) || dynamic_cast<const AngleCtrl*>(w)
        || dynamic_cast<const ImageEffectIntensitySlider*>(w)
        || dynamic_cast<const ColoredButton*>(w);
}

QString describe(const QWidget* w)
{
    QString text;
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        text = b->text().isEmpty() ? b->toolTip() : b->text();
    else if (const auto* s = dynamic_cast<const ImageEffectIntensitySlider*>(w))
        text = s->title();
    else if (const auto* l = qobject_cast<const QLabel*>(w))
        text = l->text();
    const QPoint at = w->mapTo(w->window(), QPoint());
    return QStringLiteral("%1 \"%2\" at %3,%4 %5x%6")
        .arg(QString::fromLatin1(w->metaObject()->className()), text)
        .arg(at.x())
        .arg(at.y())
        .arg(w->width())
        .arg(w->height());
}

// The part of w a person sees, in w's coordinates: its shape clipped by every ancestor, and
// inside the window's edges, where the pointer resizes the window.
QRegion visibleArea(const QWidget* w)
{
    QRegion area = w->mask().isEmpty() ? QRegion(w->rect()) : w->mask();
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        QRect shown(w->mapFrom(p, QPoint()), p->size());
        if (p->isWindow()) {
            const int edge = Window::kResizeEdge;
            area &= QRegion(shown.adjusted(edge, edge, -edge, -edge));
            break;
        }
        area &= QRegion(shown);
    }
    return area;
}

// Points spread over a rectangle of the area (a 3 x 3 grid), kept where the area holds them.
std::vector<QPoint> probePoints(const QRegion& area)
{
    std::vector<QPoint> points;
    for (const QRect& r : area) {
        for (double fy : { 0.15, 0.5, 0.85 }) {
            for (double fx : { 0.15, 0.5, 0.85 }) {
                const QPoint p(
                    r.x() + int(fx * (r.width() - 1)), r.y() + int(fy * (r.height() - 1)));
                if (area.contains(p))
                    points.push_back(p);
            }
        }
    }
    return points;
}

// The widget a press at p (in target's coordinates) reaches.
QWidget* pressedAt(QWidget& target, QPoint p)
{
    QWidget* window = target.window();
    return window->childAt(target.mapTo(window, p));
}

// The first point of a control's visible area where a press reaches another widget, described;
// empty when every point reaches the control or a part of it.
QString coveredAt(InspectorWindow& w, QWidget* control)
{
    // The person scrolls the panel stack until the control shows.
    w.o.panelScrollView->ensureWidgetVisible(control, 0, 0);
    const QRegion area = visibleArea(control);
    if (area.isEmpty())
        return describe(control) + " shows nowhere";
    for (const QPoint& p : probePoints(area)) {
        QWidget* hit = pressedAt(*control, p);
        if (hit != control && !(hit && control->isAncestorOf(hit)))
            return QStringLiteral("%1: at %2,%3 a press reaches %4")
                .arg(describe(control))
                .arg(p.x())
                .arg(p.y())
                .arg(hit ? describe(hit) : QStringLiteral("nothing"));
    }
    return {};
}

// Every covered visible control of the inspector, described.
QStringList coveredControls(InspectorWindow& w, int& probed)
{
    QStringList faults;
    QWidget* inspector = w.o.textControlContainerView;
    for (QWidget* control : inspector->findChildren<QWidget*>()) {
        if (!isControl(control) || !control->isVisibleTo(&w.win))
            continue;
        ++probed;
        if (const QString fault = coveredAt(w, control); !fault.isEmpty())
            faults << fault;
    }
    return faults;
}

// The colour circles of a two-colour fill are drawn by the well: a press there reaches the
// well itself, never one of its buttons. The swap button between them has room to show and
// answers where it shows.
QStringList coveredCircles(InspectorWindow& w, int& probed)
{
    QStringList faults;
    for (GradientCtrl* well : w.o.textControlContainerView->findChildren<GradientCtrl*>()) {
        if (!well->isVisibleTo(&w.win))
            continue;
        w.o.panelScrollView->ensureWidgetVisible(well, 0, 0);
        const SZGradient kept = well->gradient();
        for (int kind : { SZGradient::LinearFill, SZGradient::RadialFill }) {
            SZGradient fill;
            fill.gradientType = kind;
            well->setGradient(fill);
            QToolButton* swap = well->btnSwap();
            if (!swap->isVisibleTo(well))
                faults << QStringLiteral("no room for the swap of a kind %1 %2")
                              .arg(kind)
                              .arg(describe(well));
            else if (const QString fault = coveredAt(w, swap); !fault.isEmpty())
                faults << fault;
            for (int stop : { 0, 1 }) {
                const platform::Rect c = well->circleRect(stop);
                for (double f : { 0.3, 0.5, 0.7 }) {
                    ++probed;
                    const QPoint p = well->convertToWidget(platform::Point(c.x() + f * c.width(),
                                                               c.y() + f * c.height()))
                                         .toPoint();
                    QWidget* hit = pressedAt(*well, p);
                    if (hit != well)
                        faults << QStringLiteral("circle %1 of a kind %2 %3 reaches %4")
                                      .arg(stop)
                                      .arg(kind)
                                      .arg(describe(well))
                                      .arg(hit ? describe(hit) : QStringLiteral("nothing"));
                }
            }
        }
        well->setGradient(kept);
    }
    return faults;
}

struct Selection {
    const char* name;
    BoxSpec box;
    std::vector<QPushButton * DocumentWindowOutlets::*> locks;
};

const Selection kSelections[] = {
    { "text box", { Kind::Text }, { &DocumentWindowOutlets::btnFrameLock } },
    { "picture box", { Kind::Image }, { &DocumentWindowOutlets::btnFrameLock } },
    { "line", { Kind::Shape, shape::Line }, { &DocumentWindowOutlets::btnFrameLock } },
    { "rounded rectangle", { Kind::Shape, shape::RoundedRectangle },
        { &DocumentWindowOutlets::btnFrameLock, &DocumentWindowOutlets::btnRoundRectLock } },
};

} // namespace

TEST(ControlReach, EveryVisibleInspectorControlAnswersWhereItShows)
{
    for (const Selection& s : kSelections) {
        SCOPED_TRACE(s.name);
        InspectorWindow w(true);
        w.build({ s.box });
        ASSERT_TRUE(w.o.textControlContainerView->isVisibleTo(&w.win));
        int controls = 0, circles = 0;
        const QStringList faults = coveredControls(w, controls) + coveredCircles(w, circles);
        EXPECT_GT(controls, 30) << "the inspector's controls were found";
        EXPECT_GT(circles, 0) << "fill wells were found";
        EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(ControlReach, APressOnEachLockTogglesIt)
{
    for (const Selection& s : kSelections) {
        SCOPED_TRACE(s.name);
        InspectorWindow w(true);
        w.build({ s.box });
        ASSERT_FALSE(s.locks.empty());
        for (QPushButton* DocumentWindowOutlets::*outlet : s.locks) {
            QPushButton& lock = *(w.o.*outlet);
            ASSERT_TRUE(lock.isVisibleTo(&w.win));
            ASSERT_TRUE(lock.isChecked()) << "a selection shows the lock closed";
            for (bool expected : { false, true }) {
                clickInWindow(lock, QPointF(lock.width() / 2.0, lock.height() / 2.0));
                EXPECT_EQ(lock.isChecked(), expected);
            }
        }
    }
}
