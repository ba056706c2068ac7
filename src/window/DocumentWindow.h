#pragma once
// The window of one document: the picture canvas in a scroll view, the sidebar with its three
// containers (picture, box inspector, mask painting) and the inspector's panel stack, the mode
// switch between box editing and mask painting, and the picture, brush and zoom sliders.
//
// The window is made with its document's undo manager; every control is made once by the
// constructor (DocumentWindowSetup.cpp) and never replaced. The document then gives the canvas
// its picture, sets originalImage and sends windowReady() once, and requestSaturation() once
// its saved state is restored: rendering stays off until then.
//
// Files: DocumentWindow.cpp (set-up steps, canvas requests, mode, sidebar), the layout in
// DocumentWindowSetup.cpp, the slider and edit actions in DocumentWindowActions.cpp, the
// sliders' preview pictures in DocumentWindowPreviews.cpp, pictures from files in
// DocumentWindowPictures.cpp, the inspector refresh in DocumentWindowInspector.cpp, and the
// inspector's panel controllers (InspectorPanel subclasses, one per panel: FontPanel,
// FillPanel, SpacingPanel, BorderStrokePanel, ShadowPanel, WarpPanel, CommonPanel,
// FramePanel) made and served, with the text edit sync, in DocumentWindowPanels.cpp. Tables:
// the picture sliders (PictureSliders.h), the edit commands (EditCommands.h); the mask
// brush's controls are BrushPanel's.
#include "boxes/DocumentWindowRef.h"
#include "canvas/CanvasWindow.h"
#include "container/ContainerDelegate.h"
#include "container/TextViewContainer.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/text/AttributeValue.h"
#include "platform/text/TextRange.h"
#include "platform/undo/UndoManager.h"
#include "window/AngleCtrl.h"
#include "window/DocumentWindowOutlets.h"
#include "window/EditCommands.h"
#include "window/FontPanel.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/InspectorPanel.h"
#include "window/Window.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QMenu;
class QUrl;
class BrushPanel;
class ShapeButton;
class ShapePanel;
struct PictureSlider;
class TextViewContainer;
namespace canvas {
class CanvasControls;
}
namespace platform {
class Control;
class Event;
class Notification;
class SharingService;
class UndoManager;
class ViewHost;
} // namespace platform

class DocumentWindow : public Window,
                       protected DocumentWindowOutlets,
                       public canvas::CanvasWindow,
                       public ContainerDelegate,
                       public DocumentWindowRef,
                       public InspectorHost {
public:
    // One record per installed font face; item i of popupFonts describes record i.
    using FontRecord = FontPanel::FontRecord;

    static constexpr double kStartPanelStackHeight = 648.0;
    // Heights the sidebar layout gives the stroke panel (with or without the line heads) and
    // the common panel (with or without the picture saturation slider). The stroke well is a
    // fill well, tall enough for a multi-stop fill's stop markers.
    static constexpr int kStrokePanelTall = 145;
    static constexpr int kStrokePanelShort = 110;
    static constexpr int kCommonPanelTall = 216;
    static constexpr int kCommonPanelShort = 150;

    // Lays out the window and makes every control; undo is the document's own manager.
    explicit DocumentWindow(platform::UndoManager& undo, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    // The controls, for the document and for tests: read them, never replace them.
    const DocumentWindowOutlets& outlets() const { return *this; }

    // ---- properties
    canvas::CanvasControls* canvasControls() const { return m_canvasControls; }
    const platform::Image& originalImage() const { return m_originalImage; }
    void setOriginalImage(const platform::Image& image) { m_originalImage = image; }
    const QString& selectedPresetName() const { return m_selectedPresetName; }
    void setSelectedPresetName(const QString& name) { m_selectedPresetName = name; }
    ShapePanel* shapePanel() const { return m_shapePanel.get(); }
    const std::vector<FontRecord>& fontAry() const { return m_fontPanel->fontAry(); }
    // This window's thumbnail of its original picture (longest side 200), made by windowReady.
    const platform::Image& originalThumbnail() const { return m_originalThumbnail; }
    // The sidebar's panel-stack height: this window's, 648 at start, written by the sidebar
    // layout and read when the window is resized.
    double panelStackHeight() const { return m_panelStackHeight; }
    void setPanelStackHeight(double height) { m_panelStackHeight = height; }

    // ---- set-up and canvas requests
    // The one-time set-up, after the canvas has its picture and originalImage is set.
    void windowReady();
    bool isWindowReady() const { return m_windowReady; }
    // Turns rendering on and moves the saturation slider to v - 0.1 and back to v, so the
    // first render uses every value set while loading.
    void requestSaturation();
    // Pinch requests posted by this window's own canvas ("RequestZoom", "RequestBrushSize").
    void requestZoom(const platform::Notification& note);
    void requestBrushSize(const platform::Notification& note);
    // Re-fits the canvas to the zoom slider and the panel stack to the sidebar.
    void viewDidEndLiveResize();
    // The mode switch's action: segment 1 paints the mask (no box stays selected), 0 edits
    // boxes; then the sidebar follows.
    void switchColorCropMode(SegmentSwitch& sender);
    // Whether the mask is being painted.
    bool isPaintViewShowed() const;

    // ---- pictures from files (DocumentWindowPictures.cpp)
    // An open panel, then a new picture box of the chosen file.
    void newImageBox();
    // An open panel, then the chosen file's picture in the selected picture boxes.
    void replaceImage();
    // Picture files dropped on the window become picture boxes: local regular files only; a
    // folder or a remote address is refused, told in the message of the files that could not
    // be read. False when none could be taken. The pictures arrive later, on the main thread;
    // a file that does not decode gives "Unsupported image format!".
    bool dropFiles(const QList<QUrl>& urls);
    // Picture loads started and not yet finished (tests wait for none).
    int pendingPictureLoads() const { return m_pendingPictureLoads; }

    // ---- picture adjustments (DocumentWindowActions.cpp); the brush's are BrushPanel's
    // The action of every picture slider (PictureSliders.h): reads the row's slider and hands
    // its position to the canvas.
    void adjustPictureSlider(const PictureSlider& row);
    // Puts the zoom and straighten sliders where a canvas scale and straightening (radians)
    // come from, without sending their actions: a reopened document shows its own zoom.
    void showPictureZoom(double scale, double straighten);
    // After the confirmation, "Revert" takes the picture back to how it was first shown: no
    // boxes, no painted mask, the picture sliders at their starting positions; one undo step.
    void revertToOrginal();
    void revertPicture();
    // The positions of the picture sliders the document keeps ("_apertureSlider_value",
    // "_vignetteSlider_value", "_saturationSlider_value"); applying sets each present key in
    // the table's order (clamped to 0..1, each slider's action firing).
    QVariantMap readControlsData() const;
    void applyControlsData(const QVariantMap& data);

    // ---- edit commands (DocumentWindowActions.cpp)
    // The prologue of nearly every action: ends colour removal and pen drawing.
    void beforeAction() override;
    void newTextBox();
    // Escape: a text box being edited leaves editing and stays selected. False when no box
    // was being edited.
    bool endTextEditing();
    // A key the canvas left: arrows nudge the selected boxes (1, or 10 with Shift; a held key
    // is one undo step), Ctrl+B/I/U toggle bold, italic and underline. False for other keys
    // and while painting the mask.
    bool keyDown(const QKeyEvent& event);
    // One step of the window's own document's history.
    void undo();
    void redo();
    // The Edit and Arrange menus' commands (their table is EditCommands.h). perform checks
    // validateMenuItem itself first: a shortcut can fire on state the menu never showed.
    using EditCommand = ::EditCommand;
    // Whether the command can run now; only undo and redo can while the mask is being painted.
    bool validateMenuItem(EditCommand command) const;
    // Runs the command when validateMenuItem allows it.
    void perform(EditCommand command);
    // delete: (a keyword in C++): the selected boxes go, as one undo step.
    void deleteBoxes();
    // Copy, then Delete.
    void cut();
    void selectAll();
    // The selected boxes' records replace the process-wide box clipboard.
    void copy();
    // The clipboard's boxes on top, each paste 10 right and 10 lower than the one before.
    void paste();
    // The one selected box's style becomes the process-wide style record.
    void copyStyle();
    // Every selected box takes the style record and keeps its frame and content.
    void pasteStyle();
    void bringForward();
    void bringToFront();
    void sendBackward();
    void sendToBack();

    // The preview block of one of the eleven effect sliders (DocumentWindowPreviews.cpp); an
    // empty block for any other slider.
    ImageEffectIntensitySlider::PreviewBlock previewBlockFor(
        const ImageEffectIntensitySlider& slider) const;

    // ---- saving, export and sharing: the share menu's services and its two fixed items call
    // these handlers, which the document installs; unset, they do nothing.
    void setSaveDocumentHandler(std::function<void()> handler)
    {
        m_saveHandler = std::move(handler);
    }
    void setExportImageHandler(std::function<void()> handler)
    {
        m_exportHandler = std::move(handler);
    }
    using ShareHandler = std::function<void(std::shared_ptr<platform::SharingService>)>;
    void setShareHandler(ShareHandler handler) { m_shareHandler = std::move(handler); }
    // Where the share menu's services come from (the desktop's, unless a test says otherwise).
    using SharingServicesSource
        = std::function<std::vector<std::shared_ptr<platform::SharingService>>()>;
    void setSharingServicesSource(SharingServicesSource source)
    {
        m_sharingServices = std::move(source);
    }
    void saveHueboxFile();
    void exportImage();
    // Fills the share menu as it opens: the services that can share the composed picture, a
    // separator, then "Save Quillmark document" and "Export JPEG image".
    void share();
    void shareWithItem(const std::shared_ptr<platform::SharingService>& service);
    QMenu* shareMenu() const { return m_shareMenu; }

    // ---- canvas::CanvasWindow
    platform::Size viewportSize() const override;
    platform::Rect visibleRect() const override;
    platform::Size documentSize() const override;
    void setDocumentSize(const platform::Size& size) override;
    void scrollTo(const platform::Point& point) override;
    void scrollWheel(const platform::Event& event) override;
    // The part of the canvas's scroll view its bars leave for the picture.
    platform::Size shownViewportSize() const;
    platform::UndoManager* undoManager() const override { return &m_undo; }
    ContainerDelegate* containerDelegate() const override
    {
        return const_cast<DocumentWindow*>(this);
    }
    DocumentWindowRef* documentWindowRef() const override
    {
        return const_cast<DocumentWindow*>(this);
    }

    // ---- inspector refresh (DocumentWindowInspector.cpp): every panel from the selected
    // boxes, their common value or a mixed state; no control sends its action. A selection
    // shown so starts afresh: the frame and corner locks close. (refreshInspector, below,
    // shows the same values and keeps the locks.)
    void updateBoxPanel(const std::vector<MyViewBase*>& boxes);
    // The narrower refreshes, each done by the panel that owns the controls: the frame panel
    // from the first selected box (originOnly leaves width and height), the corner panel from
    // the first selected rounded shape, the angle slider, the directions from one box.
    void UpdateBoxFrameInfo(bool originOnly) override;
    void UpdateBoxRoundInfo();
    void updateBoxAngle(float degrees);
    void updateDirection(const MyViewBase& box);

    // ---- ContainerDelegate
    void textViewSelected(const std::vector<MyViewBase*>& boxes) override;
    void setCurrentlySelectedTextView(MyTextBox* textView) override
    {
        currentlySelectedTextView_ = textView;
    }
    MyTextBox* currentlySelectedTextView() const override { return currentlySelectedTextView_; }
    void setInstantAlphaState(int state) override;
    // Picks the sidebar container for the mode and the selection.
    void ShowSideBar() override;

    // ---- DocumentWindowRef
    std::optional<platform::Size> workingImageSize() const override;
    // The edit sync (DocumentWindowPanels.cpp): records the edited box and its selection, and
    // the text panels show its attributes.
    platform::TextRange textViewWillChangeSelection(
        MyTextBox* textBox, platform::TextRange oldRange, platform::TextRange newRange) override;
    // The text panels follow typing in the edited box.
    void textDidChange(MyTextBox* textBox) override;
    // An open text colour panel keeps going to the text typed in this window.
    void takeTextColorPanel() override;

    // ---- InspectorHost (DocumentWindowPanels.cpp)
    TextViewContainer* boxLayer() const override;
    MyTextBox* editedTextBox() const override;
    platform::TextRange editedRange() const override;
    platform::UndoManager& documentUndoManager() const override { return m_undo; }
    // After an edit, and whenever the boxes changed under the same selection.
    void refreshInspector() override;
    void returnKeyboardToText() override;
    const DocumentWindowOutlets& controls() const override { return *this; }
    // The panel controllers, in the order they refresh.
    const std::vector<std::unique_ptr<InspectorPanel>>& inspectorPanels() const
    {
        return m_inspectorPanels;
    }
    // The panel controller of type T, or null.
    template <class T> T* inspectorPanel() const
    {
        for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
            if (auto* found = dynamic_cast<T*>(panel.get()))
                return found;
        return nullptr;
    }

    // Shows the shape picker under its button, fading in.
    void newShapeBox();
    // Where the picker goes (screen coordinates, y down): centred under the button, its top on
    // the button's bottom, kept 8 from each edge of available.
    static QRect shapePanelFrame(const QRect& button, const QRect& available);
    // The shape picker's choice: a new shape of the button's tag, in box mode.
    void shapeClicked(ShapeButton& sender);
    // The colour-removal toggle: on starts colour removal, off ends it.
    void instantAlpha();
    // The "Show mask in red" check box.
    void redMaskChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Modifier state seen last (edit commands).
    bool bShifted = false;
    bool bCommand = false;
    platform::TextRange currentlySelectedRange;

private:
    // DocumentWindowSetup.cpp: the layout, each area in its own function.
    void buildLayout();
    QWidget* buildCanvasArea();
    QWidget* buildSidebar();
    void buildMainControls();
    void buildDrawingControls();
    void buildPanels();
    void stackPanels();
    // Sizes the panel stack's content to panelStackHeight, or to the scroll view when shorter.
    void fitPanelStack();
    void layoutBody();
    // The application's menu bar, a child of the window, sits in the title bar right of the
    // window buttons instead of over them.
    void wireActions();
    // windowReady's parts.
    void setUpEffectSliders();
    void applyDarkAppearance();
    void fillHeadPopups();
    void scrollPanelsToTop();
    // Parts of updateBoxPanel (DocumentWindowInspector.cpp).
    // ShowSideBar's parts for the box inspector: the panels the selected kinds use, and the
    // common sliders' background pictures.
    void layOutPanels(const TextViewContainer::SelectedBoxStates& states, int n);
    // The sidebar for the selection and every panel's values; false when no box is selected
    // (the panels keep what they showed).
    bool showBoxes(const std::vector<MyViewBase*>& boxes);
    void showSliderPictures(const TextViewContainer::SelectedBoxStates& states, int n);
    // Reads and decodes the files off the main thread, in order, and hands each picture to
    // sink on the main thread while this window lives; one message when any was refused,
    // the refusals made before reading (refused) first. With the working size of new boxes,
    // each picture comes at the size a new box keeps it.
    using PictureSink = std::function<void(const platform::Image&)>;
    void loadPictureFiles(const QStringList& paths, PictureSink sink,
        const QStringList& refused = {},
        std::optional<platform::Size> newBoxWorking = std::nullopt);
    void addPictureBox(const platform::Image& picture);
    // The working size new picture boxes are laid out on (none without a picture).
    std::optional<platform::Size> newBoxWorkingSize() const;
    // The smoke session's stand-in for a drag of files (see DocumentWindowPictures.cpp).
    void installTestDropHook();
    // The smoke session's way to find the inspector's controls (see DocumentWindowPictures.cpp).
    void installTestGeometryHook();
    // The canvas takes the keyboard: a box just added is moved by the arrow keys at once, not
    // the button that added it.
    void giveCanvasTheKeyboard();
    // Makes one controller per inspector panel (DocumentWindowPanels.cpp).
    void makeInspectorPanels();
    // The picture sliders' positions in the table's order. Setting them sends each slider's
    // action and registers one undo step putting them back.
    std::vector<double> pictureSliderValues() const;
    void setPictureSliderValues(const std::vector<double>& values);

    platform::UndoManager& m_undo;
    QWidget* m_body = nullptr; // everything under the title bar
    platform::ViewHost* m_canvasHost = nullptr; // the canvas's document view, in controlScrollView
    canvas::CanvasControls* m_canvasControls = nullptr; // owned by the document view
    platform::Image m_originalImage;
    platform::Image m_originalThumbnail;
    // The single selected picture box's picture at longest side 200; dropped when the
    // selection is anything else.
    platform::Image m_selectedThumbnail;
    QString m_selectedPresetName;
    std::unique_ptr<ShapePanel> m_shapePanel;
    MyTextBox* currentlySelectedTextView_ = nullptr;
    // The arrow key's release that ended the last nudge run, and its time.
    struct KeyRelease {
        int key = 0;
        quint64 time = 0;
    } m_nudgeRelease;
    double m_panelStackHeight = kStartPanelStackHeight;
    bool m_windowReady = false;
    int m_pendingPictureLoads = 0;
    // Expires with the window: pictures decoded for a closed window are dropped.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::function<void()> m_saveHandler;
    std::function<void()> m_exportHandler;
    ShareHandler m_shareHandler;
    SharingServicesSource m_sharingServices;
    QMenu* m_shareMenu = nullptr;
    // The window's own undo steps (picture sliders set together) live as long as this.
    platform::UndoLifetime m_undoLife;
    // Observers (resize, pinch requests) live as long as this.
    QObject m_observerContext;
    std::vector<std::unique_ptr<InspectorPanel>> m_inspectorPanels;
    std::unique_ptr<BrushPanel> m_brushPanel;
    // Made with the panels, for the font list the set-up fills.
    FontPanel* m_fontPanel = nullptr;
};
