#include "window/ImageEffectIntensitySlider.h"

#include "foundation/ImageAdditions.h"
#include "platform/text/StringDrawing.h"

#include <QKeyEvent>
#include <algorithm>
#include <cmath>

using namespace platform;

ImageEffectIntensitySlider::ImageEffectIntensitySlider(QWidget* parent)
    : Control(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

// Steps left in the document's manager expire with m_life.
ImageEffectIntensitySlider::~ImageEffectIntensitySlider() = default;

bool ImageEffectIntensitySlider::store(double value)
{
    // Non-finite input would become "nan%" and an undefined knob position.
    if (!std::isfinite(value))
        return false;
    m_value = std::clamp(value, 0.0, 1.0);
    update();
    return true;
}

void ImageEffectIntensitySlider::setValue(double value)
{
    if (store(value))
        sendAction();
}

void ImageEffectIntensitySlider::setForceValue(double value)
{
    store(value);
}

void ImageEffectIntensitySlider::showValue(bool shown, double value)
{
    m_showSlider = shown;
    if (shown)
        setForceValue(value);
    update();
}

bool ImageEffectIntensitySlider::isShadowSlider() const
{
    return m_title == QLatin1String("Shadow") || m_title == QLatin1String("Inner Shadow")
        || m_title == QLatin1String("Box Shadow");
}

double ImageEffectIntensitySlider::mappingWidth() const
{
    return isShadowSlider() ? width() - 32.0 : double(width());
}

void ImageEffectIntensitySlider::setImage(const Image& image)
{
    m_image = image;
    if (m_previewBlock)
        rebuildPreviews();
    update();
}

void ImageEffectIntensitySlider::setGeneratePreviewImageBlock(PreviewBlock block)
{
    m_previewBlock = std::move(block);
    m_previewsMadeFrom.reset();
    setImage(m_image);
}

void ImageEffectIntensitySlider::rebuildPreviews()
{
    const PreviewSource from { m_image, width(), height(), m_maxValue };
    if (m_previewsMadeFrom == from)
        return;
    m_previewsMadeFrom = from;
    const double w = std::round(width() / 2.0); // half away from zero for positive widths
    const double h = height() - 5.0;
    const Image source = (m_image.isNull() || w <= 0 || h <= 0)
        ? Image()
        : aspectFilledImageToSize(m_image, Size(w, h));
    for (int i = 0; i < 4; ++i)
        m_previews[size_t(i)] = m_previewBlock(source, i, kPreviewStrengths[size_t(i)]);
}

QString ImageEffectIntensitySlider::valueText() const
{
    if (!m_showSlider || !m_showsValueText)
        return QString();
    if (showsDegrees())
        return QString::asprintf("%.0f", m_value * 360) + QChar(0x00BA);
    return QString::asprintf("%.0f%%", m_value * 100);
}

double ImageEffectIntensitySlider::knobCenterX() const
{
    const double span = isShadowSlider() ? width() - 32.0 : double(width());
    return span * m_value;
}

void ImageEffectIntensitySlider::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    const bool titled = !m_title.isEmpty();
    const Rect r = titled ? Rect(b.x(), 10, b.size.width, b.size.height - 40) : b.insetBy(0, 5);
    if (titled) {
        const Rect line(0, b.size.height - 20, b.size.width, 20);
        const Font font = controlFont(QStringLiteral("Helvetica Neue Medium"), 14);
        const Color grey = Color::grey(0.5);
        drawStringInRect(ctx, m_title, line, font, grey, StringAlignment::Left);
        drawStringInRect(ctx, valueText(), line, font, grey, StringAlignment::Right);
    }
    if (r.size.width <= 0 || r.size.height <= 0)
        return;
    const BezierPath track = BezierPath::roundedRect(r, 6, 6);
    GStateGuard guard(ctx);
    if (isShadowSlider()) {
        ctx.setFillColor(m_coloringColor);
        ctx.fillPath(track);
    }
    {
        GStateGuard clip(ctx);
        ctx.clipToPath(track);
        if (!m_previewBlock || !m_usePreviewImage) {
            if (!m_image.isNull())
                ctx.drawImage(m_image, r);
        } else {
            const double quarter = r.size.width / 4;
            for (int i = 0; i < 4; ++i) {
                if (!m_previews[size_t(i)].isNull())
                    ctx.drawImage(m_previews[size_t(i)],
                        Rect(r.x() + quarter * i, r.y(), quarter, r.size.height));
            }
        }
    }
    Shadow shadow;
    shadow.blur = 5;
    shadow.color = Color::black();
    ctx.setShadow(shadow);
    const Color outline = Color::grey(0.46);
    ctx.setStrokeColor(outline);
    ctx.setFillColor(outline);
    ctx.setStrokeStyle(StrokeStyle { 2.0 });
    ctx.strokePath(track);
    if (m_showSlider)
        ctx.fillRect(Rect(knobCenterX() - 2, r.y() - 6, 4, r.size.height + 12));
    if (hasFocus())
        drawFocusRing(ctx, BezierPath::roundedRect(r.insetBy(1, 1), 5, 5));
}

void ImageEffectIntensitySlider::adjustSlider(const Point& location)
{
    // A slider narrower than its margin (a shadow slider of 32 points) has nothing to map over.
    const double span = mappingWidth();
    if (span <= 0)
        return;
    setValue(location.x / span);
}

void ImageEffectIntensitySlider::mouseDown(const Point& location, unsigned)
{
    m_undoValue = m_value;
    m_showSlider = true;
    adjustSlider(location);
}

void ImageEffectIntensitySlider::mouseDragged(const Point& location, unsigned)
{
    adjustSlider(location);
}

void ImageEffectIntensitySlider::mouseUp(const Point&, unsigned)
{
    const std::optional<double> before = std::exchange(m_undoValue, std::nullopt);
    if (!before || *before == m_value || !registersUndo())
        return;
    registerUndoStep(*before);
}

void ImageEffectIntensitySlider::keyPressEvent(QKeyEvent* event)
{
    const int steps = arrowKeySteps(*event);
    if (steps == 0) {
        Control::keyPressEvent(event);
        return;
    }
    const double before = m_value;
    m_showSlider = true;
    setValue(m_value + steps * kKeyStep);
    // A held key is one change: its first press registers the step back to where it began.
    if (!event->isAutoRepeat() && m_value != before && registersUndo())
        registerUndoStep(before);
}

void ImageEffectIntensitySlider::registerUndoStep(double restore)
{
    UndoManager* manager = m_undoManager ? m_undoManager() : nullptr;
    if (!manager)
        return;
    manager->registerUndo(this, m_life, [this, restore] { applyUndoValue(restore); });
}

// Doubles have no identity, so undo and redo always register the inverse, with the value the
// slider had before it moved.
void ImageEffectIntensitySlider::applyUndoValue(double value)
{
    const double current = m_value;
    setValue(value);
    registerUndoStep(current);
}
