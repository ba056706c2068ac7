#include "window/GradientCtrl.h"

#include "foundation/ColorAdditions.h"
#include "foundation/ImageAdditions.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/BackgroundWait.h"
#include "platform/document/Document.h"
#include "platform/document/PanelPresenter.h"
#include "platform/imaging/PictureLoader.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/NamedImage.h"
#include "platform/ui/Stepper.h"
#include "window/AngleCtrl.h"
#include "window/FillStopEditing.h"
#include "window/WindowLogging.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QRegion>
#include <QToolButton>
#include <cmath>
#include <limits>
#include <vector>

using platform::Color;
using platform::GradientStop;
using platform::Point;
using platform::Rect;

namespace {

const QString kFillColorPanel = QStringLiteral("fillColorPanel");
const QString kGradientColorPanel1 = QStringLiteral("gradientColorPanel1");
const QString kGradientColorPanel2 = QStringLiteral("gradientColorPanel2");
const QString kAdvancedColorPanel = QStringLiteral("advancedColorPanel");

const Color kOutline = Color::grey(0.46);
const Color kSelectedOutline(0, 87.0 / 255, 232.0 / 255, 1);

// Bigger files are not pictures a fill could use; refusing them early saves reading them.
constexpr qint64 kMaxPictureFileBytes = 512LL * 1024 * 1024;

bool isLinearKind(int kind)
{
    return kind == SZGradient::LinearFill || kind == SZGradient::AdvancedLinearFill;
}
bool isTwoColourKind(int kind)
{
    return kind == SZGradient::LinearFill || kind == SZGradient::RadialFill;
}
bool isMultiStopKind(int kind)
{
    return kind == SZGradient::AdvancedLinearFill || kind == SZGradient::AdvancedRadialFill;
}

QString angleText(int angle)
{
    return QString::number(angle) + QChar(0x00BA);
}

// Qt widget rectangle (y-down) of a y-up rectangle in a view of height h.
QRect widgetRect(double x, double y, double w, double hgt, double h)
{
    return QRect(int(std::lround(x)), int(std::lround(h - y - hgt)), int(std::lround(w)),
        int(std::lround(hgt)));
}

// A button picture of ours at the widget's device scale.
QIcon namedIcon(const char* name, const QWidget& on)
{
    const platform::Image image = platform::namedImage(
        QString::fromLatin1(name), platform::Size(25, 25), on.devicePixelRatioF());
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image.toQImage());
    pixmap.setDevicePixelRatio(on.devicePixelRatioF());
    return QIcon(pixmap);
}

// The picture of a file, within the loader's limits; not ok() when it is not one. Only a
// regular file is read (a pipe would block its reading forever), off the main thread with
// its decoding.
platform::LoadedPicture loadPicture(const QString& path)
{
    platform::LoadedPicture loaded;
    platform::BackgroundWait::run(
        platform::Document::openingLabel(path), [&](const std::atomic_bool& cancelled) {
            auto bytes = platform::Document::readFileBytes(path, kMaxPictureFileBytes, &cancelled);
            if (const auto* read = std::get_if<QByteArray>(&bytes))
                loaded = platform::PictureLoader::load(*read);
            else
                loaded.error = std::get<platform::DocumentError>(bytes).message();
        });
    if (!loaded.ok())
        qCDebug(lcWindow) << "picture not loaded:" << path << loaded.error;
    return loaded;
}

} // namespace

GradientCtrl::GradientCtrl(QWidget* parent)
    : platform::Control(parent)
{
}

GradientCtrl::~GradientCtrl()
{
    if (m_angleCtrl)
        m_angleCtrl->setDelegate(nullptr);
}

void GradientCtrl::initControls()
{
    const double W = width(), H = height();
    m_btnDown = new QToolButton(this);
    m_btnDown->setGeometry(widgetRect(W - 25, H - 26, 25, 25, H));
    m_btnDown->setIcon(namedIcon("downbutton", *this));
    m_btnDown->setAutoRaise(true);
    m_btnDown->setIconSize(QSize(25, 25));
    connect(m_btnDown, &QToolButton::clicked, this, [this] { downClicked(); });

    m_btnSwap = new QToolButton(this);
    m_btnSwap->setGeometry(widgetRect(15, H - 26, 25, 25, H));
    m_btnSwap->setIcon(namedIcon("swapgradient", *this));
    m_btnSwap->setAutoRaise(true);
    m_btnSwap->setIconSize(QSize(25, 25));
    m_btnSwap->hide();
    connect(m_btnSwap, &QToolButton::clicked, this, [this] { swapClicked(); });

    m_angleStepper = new platform::Stepper(this);
    m_angleStepper->setGeometry(widgetRect(W - 40, H - 27, 15, 27, H));
    m_angleStepper->setMinValue(0);
    m_angleStepper->setMaxValue(359);
    m_angleStepper->setValueWraps(true);
    m_angleStepper->hide();
    m_angleStepper->setAction([this](platform::Control&) { angleStepperDidChange(); });

    m_angleField = new QLineEdit(this);
    m_angleField->setGeometry(widgetRect(W - 90, H - 24, 43, 22, H));
    m_angleField->setFrame(false);
    m_angleField->setAlignment(Qt::AlignRight);
    m_angleField->setStyleSheet(QStringLiteral("background: rgb(75, 75, 75); color: white;"));
    QFont font = m_angleField->font();
    font.setPixelSize(14);
    m_angleField->setFont(font);
    m_angleField->setText(angleText(0));
    m_angleField->hide();
    connect(m_angleField, &QLineEdit::editingFinished, this, [this] { angleValueDidChange(); });

    m_angleCtrl = new AngleCtrl(this);
    m_angleCtrl->setGeometry(widgetRect(W - 125, H - 26, 27, 27, H));
    m_angleCtrl->setDelegate(this);

    m_popup = new QComboBox(this);
    m_popup->setGeometry(widgetRect(50, H - 30, std::max(0.0, W - 75), 27, H));
    m_popup->addItems({ QStringLiteral("Original Size"), QStringLiteral("Stretch"),
        QStringLiteral("Tile"), QStringLiteral("Scale To Fill"), QStringLiteral("Scale To Fit") });
    m_popup->hide();
    connect(m_popup, qOverload<int>(&QComboBox::activated), this,
        [this](int index) { popupChanged(index); });

    setGradient(SZGradient());
}

void GradientCtrl::setGradient(const SZGradient& fill)
{
    m_gradient = fill;
    if (!m_btnDown)
        return update();
    const int kind = m_gradient.gradientType;
    const bool angled = isLinearKind(kind);
    m_angleStepper->setVisible(angled);
    m_angleField->setVisible(angled);
    m_angleCtrl->setVisible(angled);
    m_popup->setVisible(kind == SZGradient::ImageFill);
    if (kind == SZGradient::ImageFill)
        m_popup->setCurrentIndex(std::clamp(m_gradient.imageScaleType, 0, m_popup->count() - 1));
    m_btnSwap->setVisible(isTwoColourKind(kind));
    if (isTwoColourKind(kind)) {
        // The swap button sits in the middle of the preview, between the two circles.
        const double rw = kind == SZGradient::LinearFill ? width() - 135 : width() - 35;
        m_btnSwap->move(int(std::lround(rw / 2 + 5 - m_btnSwap->width() / 2.0)), m_btnSwap->y());
        keepSwapOffTheCircles();
    }
    const double angle = std::isfinite(m_gradient.angle) ? m_gradient.angle : 0.0;
    m_angleCtrl->setAngle(angle);
    m_angleCtrl->update();
    m_angleStepper->setIntValue(int(std::clamp(std::trunc(angle), -1e9, 1e9)));
    m_angleField->setText(angleText(m_angleStepper->intValue()));
    update();
}

// In a narrow editor the middle of the preview lies over the circles: there the circles win,
// as a press on one opens the colour panel. The swap shows and answers only where it is left.
void GradientCtrl::keepSwapOffTheCircles()
{
    const QRegion whole(m_btnSwap->rect());
    QRegion shown = whole;
    for (int stop : { 0, 1 }) {
        const Rect c = circleRect(stop);
        const QRectF inWidget(c.x(), height() - c.y() - c.height(), c.width(), c.height());
        shown -= inWidget.toAlignedRect().translated(-m_btnSwap->pos());
    }
    if (shown == whole)
        m_btnSwap->clearMask();
    else if (shown.isEmpty())
        m_btnSwap->hide(); // no room for it between them
    else
        m_btnSwap->setMask(shown);
}

double GradientCtrl::previewWidth() const
{
    switch (m_gradient.gradientType) {
    case SZGradient::LinearFill:
    case SZGradient::AdvancedLinearFill:
        return width() - 135;
    case SZGradient::ImageFill:
        return 35;
    default:
        return width() - 35;
    }
}

Rect GradientCtrl::previewRect() const
{
    return Rect(5, height() - 28, previewWidth(), 27);
}

Rect GradientCtrl::circleRect(int stop) const
{
    const Rect R = previewRect();
    const double quarter = stop == 0 ? R.size.width / 4 : 3 * R.size.width / 4;
    return Rect(R.origin.x + quarter - 13, height() - 26, 25, 25);
}

platform::Gradient GradientCtrl::stops() const
{
    // A fill read from a file may lack its gradient or hold fewer than two stops; the editor
    // always works on two or more.
    if (!m_gradient.gradient || m_gradient.gradient->numberOfColorStops() == 0)
        return platform::Gradient();
    if (m_gradient.gradient->numberOfColorStops() == 1) {
        const GradientStop only = m_gradient.gradient->stop(0);
        return platform::Gradient(only.color, only.color);
    }
    return *m_gradient.gradient;
}

void GradientCtrl::setStops(std::vector<GradientStop> stops)
{
    m_gradient.gradient = platform::Gradient(std::move(stops));
}

void GradientCtrl::notify()
{
    if (m_delegate)
        m_delegate(*this);
}

void GradientCtrl::openColorPanel(const QString& identifier, const Color& colour)
{
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    panel.setColor(colour);
    panel.setAction(
        [this](platform::ColorPanel& sender) { colorPanel(sender.identifier(), sender.color()); },
        this);
    panel.setContinuous(false);
    panel.setShowsAlpha(true);
    panel.setIdentifier(identifier);
    panel.orderFront();
}

// ---- drawing

void GradientCtrl::drawRect(platform::GraphicsContext& ctx, const Rect&)
{
    const Rect R = previewRect();
    const platform::BezierPath P = platform::BezierPath::roundedRect(R, 2, 2);
    platform::GStateGuard guard(ctx);
    ctx.setShadow(platform::Shadow { platform::Size(0, 0), 5, Color::black() });
    ctx.setStrokeColor(kOutline);
    platform::StrokeStyle line;
    line.width = 1;
    ctx.setStrokeStyle(line);
    const int kind = m_gradient.gradientType;
    switch (kind) {
    case SZGradient::NoFill:
        ctx.strokePath(P);
        break;
    case SZGradient::ColorFill: {
        const Color c = m_gradient.color.value_or(Color::black());
        qCDebug(lcWindow, "gradientctrl-drawcolorfill %f %f", c.red, c.alpha);
        ctx.setFillColor(c);
        ctx.fillPath(P);
        ctx.strokePath(P);
        break;
    }
    case SZGradient::AdvancedLinearFill:
    case SZGradient::AdvancedRadialFill:
        ctx.drawLinearGradientInPath(stops(), P, 0);
        ctx.strokePath(P);
        // The markers cast one shadow together: a gradient may hold a thousand of them, and
        // a blur per marker would cost a thousand blurs for a strip that looks the same.
        ctx.beginTransparencyLayer();
        drawMarkers(ctx, R);
        ctx.endTransparencyLayer();
        break;
    case SZGradient::LinearFill:
    case SZGradient::RadialFill: {
        const platform::Gradient g = stops();
        ctx.setStrokeColor(Color::white());
        for (int i = 0; i < 2; ++i) {
            const platform::BezierPath circle = platform::BezierPath::oval(circleRect(i));
            ctx.setFillColor(g.stop(i).color);
            ctx.fillPath(circle);
            ctx.strokePath(circle);
        }
        break;
    }
    case SZGradient::ImageFill:
    default:
        ctx.setFillColor(Color::grey(0.5));
        ctx.fillPath(P);
        if (!m_gradient.image.isNull() && R.size.width > 0)
            ctx.drawImage(aspectFilledImageToSize(m_gradient.image, R.size), R);
        ctx.strokePath(P);
        break;
    }
}

void GradientCtrl::drawMarkers(platform::GraphicsContext& ctx, const Rect& R)
{
    const platform::Gradient g = stops();
    const auto& list = g.stops();
    const double Rw = R.size.width, y = R.origin.y;
    // Every marker is the same triangle moved along the bar: it is outlined once, and each
    // marker is two plain fills.
    platform::BezierPath marker;
    marker.moveTo({ 5, y + 2 });
    marker.lineTo({ 0, y - 8 });
    marker.lineTo({ 10, y - 8 });
    marker.closePath();
    platform::StrokeStyle line;
    line.width = 1;
    const platform::BezierPath outline = marker.strokedPath(line);
    // A marker that a later one covers to within half a device pixel shows nothing of its
    // own: with a thousand stops on the bar most are such, and drawing them is most of the
    // cost. The selected marker is always drawn.
    const double halfPixel
        = 0.5 / std::max(1e-6, ctx.convertRectToDeviceSpace(Rect(0, 0, 1, 1)).size.width);
    std::vector<char> shown(list.size(), 0);
    double coveredFrom = std::numeric_limits<double>::quiet_NaN();
    for (size_t i = list.size(); i-- > 0;) {
        const double x = list[i].location * Rw;
        const bool selected = m_mouseState == 1 && int(i) == m_mouseSubId;
        if (!std::isfinite(x))
            continue;
        if (selected || !(std::abs(x - coveredFrom) < halfPixel)) {
            shown[i] = 1;
            coveredFrom = x;
        }
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (!shown[i])
            continue;
        const bool selected = m_mouseState == 1 && int(i) == m_mouseSubId;
        platform::GStateGuard moved(ctx);
        ctx.translateCTM(list[i].location * Rw, 0);
        ctx.setFillColor(list[i].color);
        ctx.fillPath(marker);
        ctx.setFillColor(selected ? kSelectedOutline : kOutline);
        ctx.fillPath(outline);
    }
}

// ---- pointer

void GradientCtrl::mouseDown(const Point& p, unsigned)
{
    qCDebug(lcWindow, "mouse Down:%f %f", p.x, p.y);
    // The panel belongs to whoever clicked last: first let go of the previous owner.
    platform::ColorPanel::shared().setAction(nullptr);
    const Rect R = previewRect();
    m_mouseState = 0;
    m_mouseSubId = 0;
    const int kind = m_gradient.gradientType;
    if (kind == SZGradient::NoFill || kind == SZGradient::ColorFill) {
        if (R.contains(p)) {
            openColorPanel(kFillColorPanel, m_gradient.color.value_or(Color::black()));
            m_gradient.gradientType = SZGradient::ColorFill;
            update();
        }
    } else if (isTwoColourKind(kind)) {
        const platform::Gradient g = stops();
        if (circleRect(0).contains(p))
            openColorPanel(kGradientColorPanel1, g.stop(0).color);
        else if (circleRect(1).contains(p))
            openColorPanel(kGradientColorPanel2, g.stop(1).color);
    } else if (isMultiStopKind(kind)) {
        const platform::Gradient g = stops();
        const auto& list = g.stops();
        for (size_t i = 0; i < list.size(); ++i) {
            if (fillstops::markerHitRect(list[i].location, R.size.width, R.origin.y).contains(p)) {
                m_mouseSubId = int(i);
                m_mouseState = 1;
                update();
                openColorPanel(kAdvancedColorPanel, list[i].color);
                return;
            }
        }
        const Rect strip(R.origin.x, R.origin.y - 10, R.size.width, 12);
        if (strip.contains(p) && R.size.width > 0) {
            auto list2 = list;
            const auto index = fillstops::addStop(list2, (p.x - R.origin.x) / R.size.width);
            if (!index)
                return;
            const Color colour = list2[size_t(*index)].color;
            setStops(std::move(list2));
            m_mouseState = 1;
            m_mouseSubId = *index;
            openColorPanel(kAdvancedColorPanel, colour);
            update();
        }
    } else if (kind == SZGradient::ImageFill && R.contains(p)) {
        if (choosePicture())
            notify();
    }
}

void GradientCtrl::mouseDragged(const Point& p, unsigned)
{
    if (!isMultiStopKind(m_gradient.gradientType) || m_mouseState != 1)
        return;
    qCDebug(lcWindow, "mouse drag  :%f %f", p.x, p.y);
    const double Rw = previewWidth();
    if (!(Rw > 0))
        return;
    auto list = stops().stops();
    if (!fillstops::moveStop(list, m_mouseSubId, (p.x - 5) / Rw, 5 / Rw))
        return;
    setStops(std::move(list));
    notify();
    update();
}

void GradientCtrl::rightMouseDown(const Point& p, unsigned)
{
    if (!isMultiStopKind(m_gradient.gradientType))
        return;
    qCDebug(lcWindow, "right mouse Down:%f %f", p.x, p.y);
    auto list = stops().stops();
    if (list.size() < 3)
        return;
    m_mouseState = 0;
    m_mouseSubId = 0;
    const Rect R = previewRect();
    if (fillstops::removeStopsAt(list, p, R.size.width, R.origin.y) == 0)
        return;
    setStops(std::move(list));
    notify();
    update();
}

// ---- colours, kinds, angle, scale

void GradientCtrl::colorPanel(const QString& identifier, const Color& colour)
{
    const platform::Gradient g = stops();
    const Color first = g.stop(0).color;
    const Color second = g.stop(1).color;
    if (identifier == kFillColorPanel) {
        m_gradient.color = colour;
    } else if (identifier == kGradientColorPanel1) {
        m_gradient.gradient = platform::Gradient(colour, second);
    } else if (identifier == kGradientColorPanel2) {
        m_gradient.gradient = platform::Gradient(first, colour);
    } else if (identifier == kAdvancedColorPanel && m_mouseState == 1) {
        auto list = g.stops();
        if (m_mouseSubId >= 0 && m_mouseSubId < int(list.size())) {
            list[size_t(m_mouseSubId)].color = colour;
            setStops(std::move(list));
        }
    } else {
        return;
    }
    update();
    notify();
}

void GradientCtrl::swapClicked()
{
    if (!isTwoColourKind(m_gradient.gradientType))
        return;
    const platform::Gradient g = stops();
    m_gradient.gradient = platform::Gradient(g.stop(1).color, g.stop(0).color);
    notify();
    update();
}

void GradientCtrl::downClicked()
{
    static const char* const titles[] = { "No Fill", "Color Fill", "Gradient Fill",
        "Gradient Fill - Radial", "Advanced Gradient", "Advanced Gradient - Radial", "Image Fill" };
    delete m_menu.data();
    m_menu = new QMenu(QStringLiteral("GradientColorMenu"), this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int kind = 0; kind < 7; ++kind) {
        QAction* item = m_menu->addAction(QString::fromUtf8(titles[kind]));
        item->setCheckable(true);
        item->setChecked(kind == m_gradient.gradientType);
        connect(item, &QAction::triggered, this, [this, kind] { chooseKind(kind); });
    }
    // Under the button, its right edge 22 points right of the menu's.
    const QPoint at(
        m_btnDown->x() - m_menu->sizeHint().width() + 22, m_btnDown->y() + m_btnDown->height() + 8);
    m_menu->popup(mapToGlobal(at));
}

void GradientCtrl::chooseKind(int kind)
{
    if (kind < SZGradient::NoFill || kind > SZGradient::ImageFill)
        return;
    if (kind != SZGradient::ImageFill) {
        m_gradient.gradientType = kind;
        if (isTwoColourKind(kind)) {
            const platform::Gradient g = stops();
            m_gradient.gradient = platform::Gradient(g.stop(0).color, g.stop(1).color);
        }
        refresh();
        notify();
        return;
    }
    // A picture fill that gets no picture would lose the box's fill: Cancel or an unreadable
    // file puts the previous kind and angle back and tells nobody.
    const int previousKind = m_gradient.gradientType;
    const double previousAngle = m_gradient.angle;
    m_gradient.gradientType = SZGradient::ImageFill;
    m_gradient.angle = 0;
    refresh();
    QPointer<GradientCtrl> self = this;
    if (choosePicture()) {
        notify();
        return;
    }
    if (!self)
        return;
    m_gradient.gradientType = previousKind;
    m_gradient.angle = previousAngle;
    refresh();
}

bool GradientCtrl::choosePicture()
{
    QPointer<GradientCtrl> self = this;
    const std::optional<QString> path = platform::PanelPresenter::chooseFileToOpen({ QString(),
        { QStringLiteral("jpg"), QStringLiteral("bmp"), QStringLiteral("png"),
            QStringLiteral("tif"), QStringLiteral("jpeg") },
        window(), QString() });
    if (!self || !path)
        return false; // cancelled, or the editor went away while the panel was up
    const platform::LoadedPicture loaded = loadPicture(*path);
    const platform::Image picture
        = loaded.ok() ? platform::Image::fromQImage(loaded.pixels) : platform::Image();
    if (picture.isNull())
        return false;
    m_gradient.image = picture;
    update();
    // As an opened photo does: the fill shows, and the person learns its pixels may be wrong.
    if (loaded.damaged)
        platform::AlertPresenter::current().runModal(platform::AlertStyle::Warning,
            platform::damagedPictureWarning(
                QStringLiteral("\u201c%1\u201d").arg(QFileInfo(*path).fileName())));
    return true;
}

void GradientCtrl::angleCtrlChanged(AngleCtrl&, float angle)
{
    const double a = std::isfinite(angle) ? std::clamp(double(angle), -1e9, 1e9) : 0.0;
    m_angleField->setText(angleText(int(std::trunc(a))));
    angleValueDidChange();
}

void GradientCtrl::angleStepperDidChange()
{
    m_angleField->setText(angleText(m_angleStepper->intValue()));
    angleValueDidChange();
}

void GradientCtrl::angleValueDidChange()
{
    // The fill takes the angle as typed (400 and -30 stay 400 and -30); the stepper, which
    // holds 0..359, and the knob show the direction it denotes.
    const int n = fillstops::angleFromText(m_angleField->text());
    m_gradient.angle = n;
    const int shown = ((n % 360) + 360) % 360;
    m_angleStepper->setIntValue(shown);
    m_angleField->setText(angleText(n));
    m_angleCtrl->setAngle(shown);
    m_angleCtrl->update();
    notify();
}

void GradientCtrl::popupChanged(int index)
{
    if (index < 0)
        return;
    m_gradient.imageScaleType = index;
    notify();
}
