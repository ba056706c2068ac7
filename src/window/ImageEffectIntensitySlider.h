#pragma once
// The flat slider of the sidebar: a value from 0 to 1 over a background picture or four
// previews of the effect at four strengths, with its title and value above the track and a
// thin knob.
//
// setValue sends the action, setForceValue (for showing values) does not; both keep the value
// within 0..1 and ignore non-finite input. Dragging sends the action once per pointer event.
// A slider that registers undo (the picture sliders, set by their table) leaves one undo step
// per drag that moved it (and per arrow-key press, however long it repeats), in the undo
// manager of the slider's own document; undoing it moves the slider back and sends the
// action, and registers the redo. The shadow sliders (titled "Shadow", "Inner Shadow" or "Box
// Shadow", after the family they edit) map the pointer over the width less 32 points and show
// coloringColor under the track.
//
// The slider takes keyboard focus (Tab and clicks) and shows a ring round its track while it
// has it; the arrow keys move it by 1 % of the track, 10 % with Shift, sending the action.
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"
#include "platform/undo/UndoManager.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>

class ImageEffectIntensitySlider : public platform::Control {
public:
    // Makes preview i (0 to 3) of the source at the given strength.
    using PreviewBlock
        = std::function<platform::Image(const platform::Image& source, int index, float strength)>;
    using UndoManagerProvider = std::function<platform::UndoManager*()>;

    static constexpr std::array<float, 4> kPreviewStrengths { 0.125f, 0.375f, 0.625f, 0.875f };
    // What one arrow-key press moves the value by.
    static constexpr double kKeyStep = 0.01;

    explicit ImageEffectIntensitySlider(QWidget* parent = nullptr);
    ~ImageEffectIntensitySlider() override;

    double value() const { return m_value; }
    void setValue(double value);
    void setForceValue(double value);
    // An owner's refresh: shown, the knob at value (as setForceValue); not shown, the knob
    // hidden where it stands (a mixed value). Redraws; sends nothing.
    void showValue(bool shown, double value);

    double maxValue() const { return m_maxValue; }
    void setMaxValue(double maxValue) { m_maxValue = maxValue; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    bool showSlider() const { return m_showSlider; }
    void setShowSlider(bool show) { m_showSlider = show; }
    // Whether the value text is drawn beside the title (on by default); off for a slider
    // whose value a field beside it shows in its own unit.
    bool showsValueText() const { return m_showsValueText; }
    void setShowsValueText(bool shows) { m_showsValueText = shows; }
    bool usePreviewImage() const { return m_usePreviewImage; }
    void setUsePreviewImage(bool use) { m_usePreviewImage = use; }
    platform::Color coloringColor() const { return m_coloringColor; }
    void setColoringColor(const platform::Color& color) { m_coloringColor = color; }
    QString filterName() const { return m_filterName; }
    void setFilterName(const QString& name) { m_filterName = name; }
    // Whether a drag or a held key leaves one undo step (off until set).
    bool registersUndo() const { return m_registersUndo; }
    void setRegistersUndo(bool registers) { m_registersUndo = registers; }
    // Whether the value text is an angle, as it is for any slider whose maxValue is 360.
    bool showsDegrees() const { return m_showsDegrees || m_maxValue == 360; }
    void setShowsDegrees(bool degrees) { m_showsDegrees = degrees; }

    platform::Image image() const { return m_image; }
    // Stores the picture and, with a preview block, rebuilds the four previews; redraws.
    void setImage(const platform::Image& image);
    const PreviewBlock& generatePreviewImageBlock() const { return m_previewBlock; }
    void setGeneratePreviewImageBlock(PreviewBlock block);
    const std::array<platform::Image, 4>& cachedPreviewImages() const { return m_previews; }

    // The undo manager of the document this slider belongs to (never "the current one").
    void setUndoManagerProvider(UndoManagerProvider provider)
    {
        m_undoManager = std::move(provider);
    }

    // The text drawn right of the title: "50%", or "90º" when it shows degrees; empty while
    // the knob is hidden or the value text is off.
    QString valueText() const;
    // The x of the knob's centre for the current value.
    double knobCenterX() const;

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseDown(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDragged(const platform::Point& location, unsigned modifierFlags) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool store(double value);
    bool isShadowSlider() const;
    // The width the pointer maps over: the bounds' width, less 32 for the shadow sliders.
    double mappingWidth() const;
    void adjustSlider(const platform::Point& location);
    void rebuildPreviews();
    // Registers the step that restores `restore`; run by undo and redo, it moves the slider
    // (sending the action) and registers its own inverse.
    void registerUndoStep(double restore);
    void applyUndoValue(double value);

    double m_value = 0.0;
    double m_maxValue = 0.0;
    QString m_title;
    bool m_showSlider = true;
    bool m_showsValueText = true;
    bool m_usePreviewImage = true;
    platform::Image m_image;
    platform::Color m_coloringColor = platform::Color::black();
    QString m_filterName;
    bool m_registersUndo = false;
    bool m_showsDegrees = false;
    PreviewBlock m_previewBlock;
    std::array<platform::Image, 4> m_previews;
    // What the previews were made from: the picture, the slider's size and maximum. Setting
    // the same picture again (every refresh of a large selection does) keeps them.
    struct PreviewSource {
        platform::Image image;
        int width = 0, height = 0;
        double maxValue = 0.0;
        bool operator==(const PreviewSource&) const = default;
    };
    std::optional<PreviewSource> m_previewsMadeFrom;
    // The value when the current drag began.
    std::optional<double> m_undoValue;
    UndoManagerProvider m_undoManager;
    platform::UndoLifetime m_life;
};
