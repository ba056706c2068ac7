// The fill editor: stop arithmetic, typed angles, and the editor's behaviour with its
// sub-controls, colour panel, picture panel and delegate.
#include "platform/document/AlertPresenter.h"
#include "platform/document/PanelPresenter.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/Stepper.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"
#include "window/FillStopEditing.h"
#include "window/GradientCtrl.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using platform::Color;
using platform::GradientStop;
using platform::Point;
using platform::Rect;
using testsupport::Rgba;

namespace {

QString panelIdentifier()
{
    return platform::ColorPanel::shared().identifier();
}
Color panelColour()
{
    return platform::ColorPanel::shared().color();
}
// The user confirms a colour in the shared panel.
void deliverColour(const Color& c)
{
    platform::ColorPanel::shared().commitColor(c);
}

// Answers the next open panel with a file, or cancels; returns the presenter to look at the
// requests.
std::shared_ptr<platform::ScriptedPanelPresenter> scriptOpenPanel(std::optional<QString> answer)
{
    auto presenter = std::make_shared<platform::ScriptedPanelPresenter>();
    presenter->openAnswers.push_back(std::move(answer));
    platform::PanelPresenter::install(presenter);
    return presenter;
}

std::vector<GradientStop> threeStops()
{
    return { { Color(1, 0, 0), 0.2 }, { Color(0, 1, 0), 0.5 }, { Color(0, 0, 1), 0.8 } };
}

} // namespace

TEST(FillStops, AddTakesTheNeighbouringColourOrTheBlend)
{
    struct Row {
        const char* name;
        double t;
        int index;
        Color colour;
    };
    const Row rows[] = {
        { "left of the first stop", 0.1, 0, Color(1, 0, 0) },
        { "between the first two, a quarter of the way", 0.275, 1, Color(0.75, 0.25, 0) },
        { "between the last two, half way", 0.65, 2, Color(0, 0.5, 0.5) },
        { "on a stop joins after it with its colour", 0.5, 2, Color(0, 1, 0) },
        { "right of the last stop", 0.9, 3, Color(0, 0, 1) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto stops = threeStops();
        const auto index = fillstops::addStop(stops, row.t);
        ASSERT_TRUE(index.has_value());
        EXPECT_EQ(*index, row.index);
        ASSERT_EQ(stops.size(), 4u);
        const GradientStop& s = stops[size_t(*index)];
        EXPECT_DOUBLE_EQ(s.location, row.t);
        EXPECT_NEAR(s.color.red, row.colour.red, 1.0 / 255);
        EXPECT_NEAR(s.color.green, row.colour.green, 1.0 / 255);
        EXPECT_NEAR(s.color.blue, row.colour.blue, 1.0 / 255);
        for (size_t i = 1; i < stops.size(); ++i)
            EXPECT_LE(stops[i - 1].location, stops[i].location);
    }
}

TEST(FillStops, AddRefusesAFullGradientAndNonFiniteClicks)
{
    std::vector<GradientStop> full;
    for (int i = 0; i < platform::Gradient::kMaxStops; ++i)
        full.push_back({ Color(0, 0, 0), double(i) / platform::Gradient::kMaxStops });
    auto copy = full;
    EXPECT_FALSE(fillstops::addStop(copy, 0.5).has_value());
    EXPECT_EQ(copy, full);
    auto stops = threeStops();
    EXPECT_FALSE(fillstops::addStop(stops, std::nan("")).has_value());
    EXPECT_FALSE(fillstops::addStop(stops, INFINITY).has_value());
    EXPECT_EQ(stops, threeStops());
}

TEST(FillStops, DragKeepsAGapAndDropsMovesThatBreakIt)
{
    const double gap = 5.0 / 100; // 5 points on a 100-point bar
    struct Row {
        const char* name;
        int k;
        double t;
        bool moves;
        double location;
    };
    const Row rows[] = {
        { "middle stop, free move", 1, 0.4, true, 0.4 },
        { "middle stop, just outside the gap", 1, 0.26, true, 0.26 },
        { "middle stop, inside the gap of its left neighbour", 1, 0.24, false, 0.5 },
        { "middle stop, inside the gap of its right neighbour", 1, 0.76, false, 0.5 },
        { "middle stop, past its neighbour", 1, 0.95, false, 0.5 },
        { "first stop limited by 0", 0, -3.0, true, 0.0 },
        { "last stop limited by 1", 2, 7.0, true, 1.0 },
        { "index out of range", 3, 0.5, false, 0.0 },
        { "NaN position", 1, std::nan(""), false, 0.5 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto stops = threeStops();
        EXPECT_EQ(fillstops::moveStop(stops, row.k, row.t, gap), row.moves);
        if (row.k < 3) {
            const double expected = row.moves ? row.location : threeStops()[size_t(row.k)].location;
            EXPECT_DOUBLE_EQ(stops[size_t(row.k)].location, expected);
        }
    }
}

TEST(FillStops, RightClickRemovesFromTheTopAndKeepsTwo)
{
    const double Rw = 100, barY = 40;
    struct Row {
        const char* name;
        std::vector<double> locations;
        Point p;
        int removed;
        std::vector<double> left;
    };
    const Row rows[] = {
        { "one marker hit", { 0.1, 0.5, 0.9 }, Point(52, 35), 1, { 0.1, 0.9 } },
        { "miss", { 0.1, 0.5, 0.9 }, Point(30, 35), 0, { 0.1, 0.5, 0.9 } },
        { "three overlapping markers leave two", { 0.1, 0.5, 0.51, 0.52 }, Point(55, 35), 2,
            { 0.1, 0.5 } },
        { "all overlapping: the lowest two stay", { 0.5, 0.51, 0.52 }, Point(55, 35), 1,
            { 0.5, 0.51 } },
        { "two stops: nothing", { 0.2, 0.8 }, Point(22, 35), 0, { 0.2, 0.8 } },
        { "above the strip", { 0.1, 0.5, 0.9 }, Point(52, 45), 0, { 0.1, 0.5, 0.9 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<GradientStop> stops;
        for (double l : row.locations)
            stops.push_back({ Color(l, 0, 0), l });
        EXPECT_EQ(fillstops::removeStopsAt(stops, row.p, Rw, barY), row.removed);
        std::vector<double> left;
        for (const auto& s : stops)
            left.push_back(s.location);
        EXPECT_EQ(left, row.left);
    }
}

TEST(FillStops, TypedAngles)
{
    struct Row {
        const char* text;
        int angle;
    };
    const Row rows[] = {
        // A typed angle goes into the fill as typed, not brought into 0..359.
        { "45º", 45 }, { "45", 45 }, { "abc", 0 }, { "", 0 }, { "º", 0 }, { "400", 400 },
        { "-30", -30 }, { "360", 360 }, { "-360", -360 }, { "  90º ", 90 }, { "12abc", 12 },
        { "+15", 15 },
        { "1234567890123456789012345678901234567890", 2147483647 }, // saturates, no overflow
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(fillstops::angleFromText(QString::fromUtf8(row.text)), row.angle);
    }
}

// ---- the editor widget

namespace {

constexpr int W = 269, H = 60;

// Keys as the keyboard sends them to a widget.
void key(QWidget& w, int key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&w, &release);
}

// A field's text replaced by typing, then Return.
void typeInto(QLineEdit& field, const QString& text)
{
    field.setFocus();
    field.selectAll();
    key(field, Qt::Key_Backspace);
    for (QChar c : text)
        key(field, 0, QString(c));
    key(field, Qt::Key_Return);
}

struct Editor {
    explicit Editor(int width = W)
    {
        ctrl.resize(width, H);
        ctrl.initControls();
        ctrl.setDelegate([this](GradientCtrl& sender) {
            ++notified;
            last = sender.gradient();
        });
    }
    // A press as a person makes it (y-up point): it reaches the sub-control showing there,
    // else the editor itself.
    void click(Point p, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPointF at(p.x, H - p.y);
        QWidget* hit = ctrl.childAt(at.toPoint());
        if (!hit)
            hit = &ctrl;
        testsupport::click(*hit, hit->mapFrom(&ctrl, at), button);
    }
    // A press on the middle of the part of a sub-control that shows; it must reach it.
    void press(QWidget& sub)
    {
        const QRect shown
            = (sub.mask().isEmpty() ? QRegion(sub.rect()) : sub.mask()).boundingRect();
        const QPoint at = sub.mapTo(&ctrl, shown.center());
        ASSERT_EQ(ctrl.childAt(at), &sub) << "the sub-control shows there";
        click(Point(at.x(), H - at.y()));
    }
    void drag(Point from, Point to)
    {
        testsupport::drag(ctrl, QPointF(from.x, H - from.y), QPointF(to.x, H - to.y));
    }
    GradientCtrl ctrl;
    int notified = 0;
    SZGradient last;
};

SZGradient fillOfKind(int kind, std::vector<GradientStop> stops = {})
{
    SZGradient fill;
    fill.gradientType = kind;
    if (!stops.empty())
        fill.gradient = platform::Gradient(std::move(stops));
    return fill;
}

// Whether the selected marker's blue outline shows half way up its left edge, which runs from
// (x, barY - 8) to the apex (x + 5, barY + 2), in an image rendered at the given scale.
bool selectedOutlineAt(const QImage& image, int scale, double x, int tolerance)
{
    const double barY = H - 28;
    for (int dx = -4; dx <= 4; ++dx)
        if (testsupport::near(
                testsupport::pixelAt(image, int((x + 2.5) * scale) + dx, int((barY - 3) * scale)),
                Rgba { 0, 87, 232, 255 }, tolerance))
            return true;
    return false;
}

std::vector<GradientStop> threeStopsOnBar()
{
    return { { Color(1, 0, 0), 0.0 }, { Color(0, 1, 0), 0.5 }, { Color(0, 0, 1), 1.0 } };
}

} // namespace

TEST(FillEditor, SubControlsFollowTheKind)
{
    struct Row {
        int kind;
        bool angle, popup, swap;
        int swapX; // widget x of the swap button when shown
    };
    const Row rows[] = {
        { 0, false, false, false, 0 },
        { 1, false, false, false, 0 },
        { 2, true, false, true, int(std::lround((W - 135) / 2.0 + 5 - 12.5)) },
        { 3, false, false, true, int(std::lround((W - 35) / 2.0 + 5 - 12.5)) },
        { 4, true, false, false, 0 },
        { 5, false, false, false, 0 },
        { 6, false, true, false, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        Editor e;
        e.ctrl.setGradient(fillOfKind(row.kind));
        EXPECT_EQ(e.ctrl.angleCtrl()->isVisibleTo(&e.ctrl), row.angle);
        EXPECT_EQ(e.ctrl.angleField()->isVisibleTo(&e.ctrl), row.angle);
        EXPECT_EQ(e.ctrl.angleStepper()->isVisibleTo(&e.ctrl), row.angle);
        EXPECT_EQ(e.ctrl.popup()->isVisibleTo(&e.ctrl), row.popup);
        EXPECT_EQ(e.ctrl.btnSwap()->isVisibleTo(&e.ctrl), row.swap);
        if (row.swap) {
            EXPECT_EQ(e.ctrl.btnSwap()->x(), row.swapX);
        }
        const double rw = row.kind == 2 || row.kind == 4 ? W - 135 : row.kind == 6 ? 35 : W - 35;
        EXPECT_EQ(e.ctrl.previewRect(), Rect(5, H - 28, rw, 27));
    }
}

TEST(FillEditor, TheOwnersFillChangesOnlyWhenItAppliesTheNotifiedValue)
{
    Editor e;
    SZGradient owner = fillOfKind(SZGradient::LinearFill);
    e.ctrl.setGradient(owner);
    const SZGradient before = owner;
    e.press(*e.ctrl.btnSwap());
    EXPECT_EQ(owner, before);
    EXPECT_EQ(e.notified, 1);
    EXPECT_FALSE(e.last == before);
    EXPECT_EQ(e.last.gradient->stop(0).color, before.gradient->stop(1).color);
}

// A click between two stops adds one with the blended colour (the blend itself is FillStops'),
// selects it and opens the panel without notifying; the next colour recolours that stop.
TEST(FillEditor, MultiStopClickAddsSelectsAndOpensThePanelWithoutNotifying)
{
    Editor e;
    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedRadialFill, threeStops()));
    e.click(Point(5 + 0.275 * (W - 35), H - 28 - 4)); // a quarter of the way from 0.2 to 0.5
    EXPECT_EQ(e.notified, 0);
    EXPECT_EQ(e.ctrl.mouseState(), 1);
    EXPECT_EQ(e.ctrl.mouseSubId(), 1);
    const auto& g = *e.ctrl.gradient().gradient;
    ASSERT_EQ(g.numberOfColorStops(), 4);
    EXPECT_NEAR(g.stop(1).color.red, 0.75, 1.0 / 255);
    EXPECT_EQ(panelIdentifier(), QStringLiteral("advancedColorPanel"));
    EXPECT_EQ(panelColour(), g.stop(1).color);
    deliverColour(Color(1, 1, 0));
    EXPECT_EQ(e.notified, 1);
    EXPECT_EQ(e.last.gradient->stop(1).color, Color(1, 1, 0));
}

TEST(FillEditor, NotificationsPerAction)
{
    struct Row {
        const char* name;
        int kind;
        std::function<void(Editor&)> act;
        int notified;
    };
    const Rect C1(5 + (W - 135) / 4.0 - 13, H - 26, 25, 25);
    const Row rows[] = {
        { "menu: each kind", 1,
            [](Editor& e) {
                for (int k : { 0, 1, 2, 3, 4, 5 })
                    e.ctrl.chooseKind(k);
            },
            6 },
        { "click on an empty preview opens the panel only", 0,
            [](Editor& e) { e.click(Point(50, H - 14)); }, 0 },
        { "a colour for the fill", 0,
            [](Editor& e) {
                e.click(Point(50, H - 14));
                deliverColour(Color(0, 0, 1));
            },
            1 },
        { "click on circle 1 opens the panel only", 2, [C1](Editor& e) { e.click(C1.center()); },
            0 },
        { "a colour with an unknown identifier", 1,
            [](Editor& e) {
                e.ctrl.colorPanel(QStringLiteral("shadowColorIdentifier_XYZ"), Color());
            },
            0 },
        { "advanced colour with no stop selected", 4,
            [](Editor& e) { e.ctrl.colorPanel(QStringLiteral("advancedColorPanel"), Color()); },
            0 },
        { "swap", 3, [](Editor& e) { e.press(*e.ctrl.btnSwap()); }, 1 },
        { "a press where a hidden swap sits reaches a colour fill's preview", 1,
            [](Editor& e) {
                e.click(Point(e.ctrl.btnSwap()->geometry().center().x(), H - 14));
                EXPECT_EQ(panelIdentifier(), QStringLiteral("fillColorPanel"));
            },
            0 },
        { "scale mode chosen by key", 6,
            [](Editor& e) {
                key(*e.ctrl.popup(), Qt::Key_End);
                EXPECT_EQ(e.last.imageScaleType, 4);
            },
            1 },
        { "right-click on a two-stop gradient", 4,
            [](Editor& e) { e.click(Point(5, H - 28 - 4), Qt::RightButton); }, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Editor e;
        e.ctrl.setGradient(fillOfKind(row.kind));
        row.act(e);
        EXPECT_EQ(e.notified, row.notified);
    }
}

// Wherever the swap button sits, a press on either colour circle opens the colour panel on
// that circle's colour, and the swap answers only where it shows: at every width the
// inspector gives a well, and at one so narrow that the swap overlaps the circles.
TEST(FillEditor, CirclesOpenThePanelAndTheSwapAnswersWhereItShows)
{
    struct Row {
        int width;
        int kind;
    };
    const Row rows[]
        = { { W, 2 }, { W, 3 }, { 253, 2 }, { 253, 3 }, { 205, 2 }, { 205, 3 }, { 120, 3 } };
    const Color first(1, 0, 0), second(0, 0, 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + " wide, kind " + std::to_string(row.kind));
        Editor e(row.width);
        e.ctrl.setGradient(fillOfKind(row.kind, { { first, 0 }, { second, 1 } }));
        ASSERT_TRUE(e.ctrl.btnSwap()->isVisibleTo(&e.ctrl));
        for (int stop : { 0, 1 }) {
            const Rect c = e.ctrl.circleRect(stop);
            for (double f : { 0.2, 0.5, 0.8 }) {
                platform::ColorPanel::shared().setIdentifier(QString());
                e.click(Point(c.x() + f * c.width(), c.y() + f * c.height()));
                EXPECT_EQ(panelIdentifier(),
                    stop == 0 ? QStringLiteral("gradientColorPanel1")
                              : QStringLiteral("gradientColorPanel2"));
                EXPECT_EQ(panelColour(), stop == 0 ? first : second);
            }
        }
        EXPECT_EQ(e.notified, 0) << "opening the panel changes nothing";
        e.press(*e.ctrl.btnSwap());
        EXPECT_EQ(e.notified, 1);
        EXPECT_EQ(e.last.gradient->stop(0).color, second);
    }
}

TEST(FillEditor, EmptyPreviewClickBecomesAColourFill)
{
    Editor e;
    SZGradient fill = fillOfKind(SZGradient::NoFill);
    fill.color = Color(0.2, 0.4, 0.6);
    e.ctrl.setGradient(fill);
    e.click(Point(50, H - 14));
    EXPECT_EQ(e.ctrl.gradient().gradientType, SZGradient::ColorFill);
    EXPECT_EQ(panelIdentifier(), QStringLiteral("fillColorPanel"));
    EXPECT_EQ(panelColour(), Color(0.2, 0.4, 0.6));
    EXPECT_EQ(e.notified, 0);
}

TEST(FillEditor, DragStopsInsideTheGapAndRightClickKeepsTwo)
{
    Editor e;
    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedRadialFill, threeStopsOnBar()));
    const double Rw = W - 35, y = H - 28 - 4;
    // Stop 1's marker starts at 0.5 * Rw.
    e.drag(Point(0.5 * Rw + 5, y), Point(5 + 0.3 * Rw, y));
    EXPECT_NEAR(e.ctrl.gradient().gradient->stop(1).location, 0.3, 1e-9);
    EXPECT_EQ(e.notified, 1);
    // Towards stop 0 inside 5 points: dropped, not pushed.
    e.drag(Point(0.3 * Rw + 5, y), Point(5 + 4, y));
    EXPECT_NEAR(e.ctrl.gradient().gradient->stop(1).location, 0.3, 1e-9);
    EXPECT_EQ(e.notified, 1);
    // Overlapping markers under a right-click: two stops stay.
    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedLinearFill,
        { { Color(1, 0, 0), 0.0 }, { Color(0, 1, 0), 0.01 }, { Color(0, 0, 1), 0.02 },
            { Color(), 0.03 } }));
    e.click(Point(5, y), Qt::RightButton);
    EXPECT_EQ(e.ctrl.gradient().gradient->numberOfColorStops(), 2);
    EXPECT_EQ(e.notified, 2);
}

// A typed angle (parsed as in FillStops) and a knob click both reach the field, the stepper,
// the knob and the owner, once each. The fill keeps the typed angle; the stepper and the knob
// show the direction it denotes.
TEST(FillEditor, TypedAndKnobAnglesAgreeEverywhere)
{
    Editor typed;
    typed.ctrl.setGradient(fillOfKind(SZGradient::LinearFill));
    typeInto(*typed.ctrl.angleField(), QStringLiteral("-30"));
    EXPECT_EQ(typed.ctrl.gradient().angle, -30);
    EXPECT_EQ(typed.ctrl.angleStepper()->intValue(), 330);
    EXPECT_EQ(typed.ctrl.angleCtrl()->angle(), 330);
    EXPECT_EQ(typed.ctrl.angleField()->text(), QStringLiteral("-30") + QChar(0x00BA));
    EXPECT_EQ(typed.notified, 1);

    Editor knob;
    knob.ctrl.setGradient(fillOfKind(SZGradient::AdvancedLinearFill));
    testsupport::sendMouse(*knob.ctrl.angleCtrl(), QEvent::MouseButtonPress, { 13.5, 26 },
        Qt::LeftButton, Qt::LeftButton); // below the centre: 90
    EXPECT_EQ(knob.ctrl.gradient().angle, 90);
    EXPECT_EQ(knob.ctrl.angleStepper()->intValue(), 90);
    EXPECT_EQ(knob.notified, 1);
}

TEST(FillEditor, PictureFillFromTheMenu)
{
    struct Row {
        const char* name;
        std::optional<QString> file; // nothing: cancelled
        bool loads;
    };
    QTemporaryDir tmp;
    const QString notAPicture = tmp.filePath(QStringLiteral("not.png"));
    {
        QFile f(notAPicture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is no picture");
    }
    const QString picture = tmp.filePath(QStringLiteral("red.png"));
    {
        QImage red(8, 6, QImage::Format_ARGB32_Premultiplied);
        red.fill(Qt::red);
        ASSERT_TRUE(red.save(picture));
    }
    // Never opened: a pipe with no writer would block its reading forever.
    const QString pipe = tmp.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const Row rows[] = {
        { "cancelled", std::nullopt, false },
        { "not a picture", notAPicture, false },
        { "a named pipe", pipe, false },
        { "a picture", picture, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Editor e;
        SZGradient fill = fillOfKind(SZGradient::LinearFill);
        fill.angle = 33;
        e.ctrl.setGradient(fill);
        const auto panels = scriptOpenPanel(row.file);
        e.ctrl.chooseKind(SZGradient::ImageFill);
        ASSERT_EQ(panels->openRequests.size(), 1u);
        EXPECT_EQ(panels->openRequests[0].allowedSuffixes,
            (QStringList { "jpg", "bmp", "png", "tif", "jpeg" }));
        if (row.loads) {
            EXPECT_EQ(e.notified, 1);
            EXPECT_EQ(e.ctrl.gradient().gradientType, SZGradient::ImageFill);
            EXPECT_EQ(e.ctrl.gradient().angle, 0);
            EXPECT_EQ(e.ctrl.gradient().image.size(), platform::Size(8, 6));
        } else {
            EXPECT_EQ(e.notified, 0);
            EXPECT_EQ(e.ctrl.gradient(), fill);
        }
    }
}

TEST(FillEditor, DrawsCirclesAndTheSelectedMarker)
{
    Editor e;
    e.ctrl.setGradient(
        fillOfKind(SZGradient::RadialFill, { { Color(1, 0, 0), 0 }, { Color(0, 0, 1), 1 } }));
    QImage image = e.ctrl.renderToImage();
    const Point c1 = e.ctrl.circleRect(0).center(), c2 = e.ctrl.circleRect(1).center();
    EXPECT_PIXEL_NEAR(image, int(c1.x), int(c1.y), (Rgba { 255, 0, 0, 255 }), 2);
    EXPECT_PIXEL_NEAR(image, int(c2.x), int(c2.y), (Rgba { 0, 0, 255, 255 }), 2);

    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedLinearFill, threeStopsOnBar()));
    const double Rw = W - 135, barY = H - 28;
    e.click(Point(0.5 * Rw + 5, barY - 4)); // selects stop 1
    ASSERT_EQ(e.ctrl.mouseState(), 1);
    image = e.ctrl.renderToImage(4.0);
    EXPECT_TRUE(selectedOutlineAt(image, 4, 0.5 * Rw, 30));
    // The outlines' shadow falls on the small markers' insides: red, darkened.
    EXPECT_PIXEL_NEAR(image, int(5 * 4), int((barY - 5) * 4), (Rgba { 220, 0, 0, 255 }), 60);
}

TEST(FillEditor, AColourForADeadEditorIsHarmless)
{
    auto e = std::make_unique<Editor>();
    e->ctrl.setGradient(fillOfKind(SZGradient::ColorFill));
    e->click(Point(50, H - 14));
    e.reset();
    deliverColour(Color(0, 1, 0));
}

TEST(FillEditor, BadInputNeverCrashes)
{
    // Clicks on a picture preview ask for a file: every panel is cancelled.
    platform::PanelPresenter::install(std::make_shared<platform::ScriptedPanelPresenter>());
    struct Row {
        const char* name;
        int width;
        std::function<void(SZGradient&)> spoil;
    };
    const double nan = std::nan("");
    const Row rows[] = {
        { "no gradient, no colour", W, [](SZGradient& f) { f.gradient.reset(), f.color.reset(); } },
        { "no stops", W,
            [](SZGradient& f) { f.gradient = platform::Gradient(std::vector<GradientStop> {}); } },
        { "one stop", W,
            [](SZGradient& f) {
                f.gradient = platform::Gradient({ { Color(1, 0, 0), 0.5 } });
            } },
        { "non-finite angle and locations", W,
            [nan](SZGradient& f) {
                f.angle = nan;
                f.gradient = platform::Gradient(
                    { { Color(nan, 0, 0), nan }, { Color(), INFINITY }, { Color(), 0.5 } });
            } },
        { "huge angle", W, [](SZGradient& f) { f.angle = 1e300; } },
        { "scale type out of range", W, [](SZGradient& f) { f.imageScaleType = 99; } },
        { "narrower than the angle controls", 100, [](SZGradient&) {} },
        { "narrower than the menu button", 20, [](SZGradient&) {} },
    };
    for (const Row& row : rows) {
        for (int kind = 0; kind <= 6; ++kind) {
            SCOPED_TRACE(std::string(row.name) + ", kind " + std::to_string(kind));
            GradientCtrl ctrl;
            ctrl.resize(row.width, H);
            ctrl.initControls();
            SZGradient fill = fillOfKind(kind);
            row.spoil(fill);
            fill.gradientType = kind;
            ctrl.setGradient(fill);
            ctrl.renderToImage(2.0);
            for (double x : { 0.0, 5.0, row.width / 2.0, row.width - 1.0 }) {
                for (double y : { H - 14.0, H - 32.0 }) {
                    const QPointF at(x, H - y);
                    testsupport::drag(ctrl, at, at + QPointF(7, 0));
                    testsupport::click(ctrl, at, Qt::RightButton);
                }
            }
            platform::ColorPanel::shared().commitColor(Color(nan, 2, -1, nan));
            // The angle field shows, and takes typing, for the linear kinds only.
            if (ctrl.angleField()->isVisibleTo(&ctrl)) {
                typeInto(*ctrl.angleField(),
                    QStringLiteral("99999999999999999999999999999999999999999"));
                EXPECT_EQ(ctrl.gradient().angle, 2147483647) << "as typed, saturated";
            }
            ctrl.renderToImage(2.0);
        }
    }
}

TEST(FillEditor, AThousandStopsShowTheSelectedAndTheLastMarker)
{
    Editor e;
    std::vector<GradientStop> stops;
    for (int i = 0; i < platform::Gradient::kMaxStops; ++i)
        stops.push_back({ Color(0, 0.6, 0), double(i) / (platform::Gradient::kMaxStops - 1) });
    stops.back().color = Color(1, 0, 0);
    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedRadialFill, stops));
    const double Rw = W - 35, barY = H - 28;
    e.click(Point(0.3 * Rw + 5, barY - 4));
    ASSERT_EQ(e.ctrl.mouseState(), 1);
    const double x = e.ctrl.gradient().gradient->stop(e.ctrl.mouseSubId()).location * Rw;
    const QImage image = e.ctrl.renderToImage(2.0);
    EXPECT_TRUE(selectedOutlineAt(image, 2, x, 40));
    // The last marker is drawn whole, on top.
    EXPECT_PIXEL_NEAR(image, int((Rw + 5) * 2), int((barY - 5) * 2), (Rgba { 220, 0, 0, 255 }), 60);
}

TEST(FillEditor, KindMenuTitlesChecksAndTwoColourRebuild)
{
    Editor e;
    const std::vector<GradientStop> four = { { Color(1, 0, 0), 0 }, { Color(0, 1, 0), 0.3 },
        { Color(0, 0, 1), 0.6 }, { Color(1, 1, 1), 1 } };
    e.ctrl.setGradient(fillOfKind(SZGradient::AdvancedLinearFill, four));
    e.ctrl.downClicked();
    QMenu* menu = e.ctrl.kindMenu();
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    int checked = -1;
    for (int i = 0; i < menu->actions().size(); ++i) {
        titles << menu->actions()[i]->text();
        if (menu->actions()[i]->isChecked())
            checked = i;
    }
    EXPECT_EQ(titles,
        (QStringList { "No Fill", "Color Fill", "Gradient Fill", "Gradient Fill - Radial",
            "Advanced Gradient", "Advanced Gradient - Radial", "Image Fill" }));
    EXPECT_EQ(checked, SZGradient::AdvancedLinearFill);
    menu->actions()[SZGradient::LinearFill]->trigger();
    menu->close();
    EXPECT_EQ(e.notified, 1);
    EXPECT_EQ(e.last.gradientType, SZGradient::LinearFill);
    EXPECT_EQ(*e.last.gradient, platform::Gradient(Color(1, 0, 0), Color(0, 1, 0)));
    e.ctrl.chooseKind(SZGradient::AdvancedLinearFill);
    EXPECT_EQ(*e.last.gradient, platform::Gradient(Color(1, 0, 0), Color(0, 1, 0)));
    EXPECT_EQ(e.notified, 2);
}

namespace {
struct RecordedAlerts final : platform::AlertPresenter {
    QStringList messages;
    void runModal(platform::AlertStyle, const QString& m) override { messages << m; }
    int runModalWithButtons(
        platform::AlertStyle, const QString& m, const QString&, const QStringList&) override
    {
        messages << m;
        return kFirstButtonReturn;
    }
};
} // namespace

// A picture fill from a damaged JPEG is taken, and the person is told as when a damaged photo
// opens; a whole one says nothing.
TEST(FillEditor, DamagedPictureFillWarns)
{
    QTemporaryDir tmp;
    QImage pixels(64, 48, QImage::Format_RGB32);
    pixels.fill(QColor(30, 160, 90));
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(pixels.save(&buffer, "JPEG"));
    }
    struct Row {
        const char* name;
        QByteArray bytes;
        QStringList expected;
    };
    const Row rows[] = {
        { "torn", jpeg.chopped(2) + QByteArray(24, 0x55) + jpeg.right(2),
            { "\u201ctorn.jpg\u201d is damaged; parts of it may look wrong." } },
        { "whole", jpeg, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = tmp.filePath(QString::fromUtf8(row.name) + ".jpg");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(row.bytes);
        f.close();
        auto alerts = std::make_shared<RecordedAlerts>();
        const auto previous = platform::AlertPresenter::install(alerts);
        Editor e;
        e.ctrl.setGradient(fillOfKind(SZGradient::LinearFill));
        scriptOpenPanel(path);
        e.ctrl.chooseKind(SZGradient::ImageFill);
        platform::AlertPresenter::install(previous);
        EXPECT_EQ(e.ctrl.gradient().gradientType, SZGradient::ImageFill);
        EXPECT_EQ(e.ctrl.gradient().image.size(), platform::Size(64, 48));
        EXPECT_EQ(alerts->messages, row.expected);
    }
}
