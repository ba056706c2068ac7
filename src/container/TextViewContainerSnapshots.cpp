// The container's snapshots: taking them, registering the step that restores one, performing
// that step on undo and redo, and rebuilding the box layer from a snapshot.
#include "boxes/MyImageView.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/TextViewContainer.h"

using platform::Point;
using platform::Rect;

namespace {

// A box's warped picture, kept across a rebuild for a new box whose record equals its own.
struct WarpCache {
    UNDODATA record;
    platform::Image picture;
    // Where the picture goes, relative to the frame origin (a moved box carries it along).
    Rect placement;
    bool taken = false;
};

bool isWarped(const UNDODATA& record)
{
    return record.horzPerspective != 0.0 || record.vertPerspective != 0.0 || !record.curves.empty();
}

// The first untaken cache for record, looking from next on and then from the start (boxes
// mostly keep their order); caches.size() when none.
std::size_t findCache(
    const std::vector<WarpCache>& caches, std::size_t next, const UNDODATA& record)
{
    const std::size_t n = caches.size();
    for (std::size_t k = 0; k < n; ++k) {
        const WarpCache& c = caches[(next + k) % n];
        if (!c.taken && c.record.isEqualTo(record))
            return (next + k) % n;
    }
    return n;
}

} // namespace

ContainerSnapshot TextViewContainer::containerSnapshot() const
{
    std::vector<UNDODATA> records;
    records.reserve(textViewAry.size());
    for (const MyViewBase* box : textViewAry)
        records.push_back(box->getUndoData());
    return ContainerSnapshot(std::move(records));
}

void TextViewContainer::prepUndoData()
{
    m_foldingChange = m_changeRunKey && canFoldChange(m_changeRunKey);
    if (m_foldingChange) {
        undoData.reset();
        return;
    }
    undoData = containerSnapshot();
}

void TextViewContainer::discardUndoData()
{
    undoData.reset();
    m_foldingChange = false;
}

void TextViewContainer::beginChangeRun(const void* key)
{
    endChangeRun();
    m_runStart.reset();
    m_changeRunKey = key;
}

void TextViewContainer::endChangeRun()
{
    if (m_changeRunKey && m_undoManager && m_undoManager->canCoalesce(m_changeRunKey)) {
        // The same rule as for one change: a run that ends with every record as it began (a
        // slider dragged away and back) leaves no step.
        const bool unchanged = m_runStart && *m_runStart == containerSnapshot();
        if (!(unchanged && m_undoManager->withdrawRun(m_changeRunKey)))
            m_undoManager->breakCoalescing();
    }
    m_changeRunKey = nullptr;
    m_foldingChange = false;
}

bool TextViewContainer::resumeChangeRun(const void* key)
{
    if (m_changeRunKey || !m_undoManager || !m_undoManager->resumeCoalescing(key))
        return false;
    m_changeRunKey = key;
    return true;
}

void TextViewContainer::logUndoData()
{
    logChange();
}

bool TextViewContainer::logChange()
{
    qCDebug(lcContainer) << "logUndodata";
    if (m_foldingChange) {
        m_foldingChange = false;
        foldedChange();
        return true;
    }
    if (!undoData) {
        // Without a before-snapshot there is nothing to go back to; a step restoring an empty
        // layer would delete every box.
        qCWarning(lcContainer) << "logUndoData: no before-snapshot, no step registered";
        markForDisplay();
        return false;
    }
    // A change that left every record as it was has nothing to undo: no step, and the
    // document stays as edited as it was. Whatever the caller was, this is where it is decided.
    if (*undoData == containerSnapshot()) {
        qCDebug(lcContainer) << "logUndoData: nothing changed, no step registered";
        markForDisplay();
        return false;
    }
    registerRestore(*undoData);
    if (m_changeRunKey && m_undoManager)
        m_undoManager->setCoalescingKey(m_changeRunKey);
    if (m_changeRunKey)
        m_runStart = *undoData;
    else
        m_runStart.reset();
    markForDisplay();
    return true;
}

void TextViewContainer::logUndoDataForRun(const void* runKey)
{
    // A run that registered nothing is no run: its next change takes a snapshot of its own.
    if (logChange() && m_undoManager && runKey)
        m_undoManager->setCoalescingKey(runKey);
}

bool TextViewContainer::canFoldChange(const void* runKey) const
{
    return m_undoManager && m_undoManager->canCoalesce(runKey);
}

void TextViewContainer::foldedChange()
{
    markForDisplay();
}

void TextViewContainer::registerRestore(const ContainerSnapshot& before)
{
    if (!m_undoManager) {
        qCInfo(lcContainer) << "no undo manager: the change is applied and cannot be undone";
        return;
    }
    m_undoManager->registerUndo(
        this, m_undoLife, [this, before] { applyRestoreForUndoData(before); });
}

void TextViewContainer::applyRestoreForUndoData(const ContainerSnapshot& snapshot)
{
    // A gesture's view would go with the rebuild; its end belongs to the state kept for redo.
    endGesturesForRebuild();
    ContainerSnapshot current = containerSnapshot();
    undoData = current;
    applyUndoData(snapshot);
    registerRestore(current);
    markForDisplay();
    if (m_delegate)
        m_delegate->textViewSelected(textViewAry);
}

void TextViewContainer::endGesturesForRebuild()
{
    if (penView)
        endPenPath(false);
    bDrawWithPen = false;
    // An open colour-removal gesture goes with the boxes it was clearing: no step of its own.
    brushPreviewLayer.reset();
    if (bInstantAlpha) {
        cancelInstantAlpha();
        if (m_delegate)
            m_delegate->setInstantAlphaState(0);
    }
    isMouseDown = false;
    mouseDownState = 0;
    expandingId = -1;
    expandingSubId = -1;
}

MyViewBase* TextViewContainer::addBoxFromRecord(const UNDODATA& record)
{
    std::unique_ptr<MyViewBase> created;
    switch (record.type) {
    case UNDODATA::TextBox:
        created = std::make_unique<MyTextView>(record.frame);
        break;
    case UNDODATA::ImageBox: {
        auto image = std::make_unique<MyImageView>(record.frame);
        image->setOrgImage(record.orgImage, record.orgWidth, record.orgHeight);
        created = std::move(image);
        break;
    }
    case UNDODATA::ShapeBox:
        created = std::make_unique<MyShapeView>(record.frame, record.shapeType);
        break;
    default:
        qCWarning(lcContainer) << "applyUndoData: skipped a record of unknown type" << record.type;
        return nullptr;
    }
    created->setMyDocumentWindow(m_documentWindow);
    MyViewBase* box = addBoxNest(std::move(created));
    box->setUndoData(record);
    if (auto* text = dynamic_cast<MyTextView*>(box)) {
        if (text->selected() && text->isEditing() && m_delegate)
            m_delegate->setCurrentlySelectedTextView(text->txtBox());
    }
    return box;
}

void TextViewContainer::applyUndoData(const ContainerSnapshot& snapshot)
{
    qCDebug(lcContainer) << "applyUndoData";
    endGesturesForRebuild();

    // Warped pictures still valid for their box: re-warping every box on each undo is slow.
    std::vector<WarpCache> caches;
    for (MyViewBase* box : textViewAry) {
        if (box->imgPersp.isNull() || !MyPerspectiveView::cacheIsValid(*box))
            continue;
        const Point origin = box->frame().origin;
        caches.push_back({ *box->ud, box->imgPersp,
            Rect(box->imgRect.origin.x - origin.x, box->imgRect.origin.y - origin.y,
                box->imgRect.size.width, box->imgRect.size.height) });
    }

    // The window must not keep the text view of a box that goes.
    if (m_delegate && m_delegate->currentlySelectedTextView()) {
        for (MyViewBase* box : textViewAry) {
            auto* text = dynamic_cast<MyTextView*>(box);
            if (text && text->txtBox() == m_delegate->currentlySelectedTextView())
                m_delegate->setCurrentlySelectedTextView(nullptr);
        }
    }

    {
        std::vector<std::unique_ptr<platform::View>> removed;
        removed.reserve(textViewAry.size());
        for (MyViewBase* box : textViewAry)
            if (platform::View* nest = nestOf(*box))
                removed.push_back(nest->removeFromSuperview());
        textViewAry.clear();
    }

    textViewAry.reserve(snapshot.size());
    std::size_t next = 0;
    for (const UNDODATA& record : snapshot.records()) {
        MyViewBase* box = addBoxFromRecord(record);
        if (!box || caches.empty() || !isWarped(record))
            continue;
        const UNDODATA now = box->getUndoData();
        const std::size_t found = findCache(caches, next, now);
        if (found == caches.size())
            continue;
        WarpCache* cache = &caches[found];
        cache->taken = true;
        next = found + 1;
        const Point origin = box->frame().origin;
        box->imgPersp = cache->picture;
        box->imgRect
            = Rect(origin.x + cache->placement.origin.x, origin.y + cache->placement.origin.y,
                cache->placement.size.width, cache->placement.size.height);
        box->ud = cache->record;
    }
}
