#pragma once
// One undo step of the box layer, as a guard: made before the boxes change (it takes the
// layer's before-snapshot), registered by commit(), and dropped when it goes out of scope
// uncommitted, so a change that turns out to change nothing leaves no step and no snapshot.
//
//     UndoStep step(container);
//     if (applyTo(boxes))
//         step.commit();
//
// Inside a change run (TextViewContainer::beginChangeRun) the step folds into the run's first
// step instead.
#include "container/TextViewContainer.h"

class UndoStep {
public:
    explicit UndoStep(TextViewContainer& container)
        : m_container(&container)
    {
        container.prepUndoData();
    }
    ~UndoStep()
    {
        if (m_container && !m_committed)
            m_container->discardUndoData();
    }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    // Registers the step (once; later calls do nothing) and redraws the layer.
    void commit()
    {
        if (m_committed)
            return;
        m_committed = true;
        m_container->logUndoData();
    }
    bool committed() const { return m_committed; }

private:
    TextViewContainer* m_container;
    bool m_committed = false;
};
