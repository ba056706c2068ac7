#pragma once
// One document's undo history.
//
// An action is registered with the object it restores (its target) and runs when its group is
// undone or redone. Where it goes depends on what the manager is doing:
//  - while undoing, on the redo stack (it is the inverse of what is being undone);
//  - while redoing, on the undo stack;
//  - otherwise on the undo stack, and the redo stack is cleared.
// Registrations are gathered into one open group until the group is closed: the view host closes
// every open group after each input event it dispatches (endEventGroups), and a zero-timer closes
// it at the next turn of the event loop otherwise. undo() and redo() close the open group first,
// then run the top group's actions in reverse order of registration. A group that holds no
// action when it closes is dropped.
//
// The change count goes +1 for each group closed by a change, -1 for each undo and +1 for each
// redo; the document reads its edited state from it.
//
// A target that dies must not be called back: every action carries a weak token of its target's
// life and never runs once the token has expired (removeAllActions from the target's destructor
// also drops them at once). Groups left with no live action are skipped.
//
// Main thread only.
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// A liveness token an undo target keeps as a member; actions registered with it never run once
// the target (and so the token) is gone. A copy is a new life, not a share of the old one.
class UndoLifetime {
public:
    UndoLifetime()
        : m_token(std::make_shared<char>())
    {
    }
    UndoLifetime(const UndoLifetime&)
        : m_token(std::make_shared<char>())
    {
    }
    UndoLifetime& operator=(const UndoLifetime&) { return *this; }
    std::weak_ptr<const void> watch() const { return m_token; }

private:
    std::shared_ptr<char> m_token;
};

class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Registers action for target (an identity used by removeAllActions; never dereferenced).
    // The action runs only while life has not expired. An empty action is ignored.
    void registerUndo(const void* target, std::weak_ptr<const void> life, Action action);
    void registerUndo(const void* target, const UndoLifetime& life, Action action)
    {
        registerUndo(target, life.watch(), std::move(action));
    }

    // Drops every action registered for target, on both stacks and in the open group; groups
    // left empty are dropped.
    void removeAllActions(const void* target);

    // True when undo()/redo() would run at least one live action. Both answer false while an
    // undo or redo is running.
    bool canUndo() const;
    bool canRedo() const;

    // Closes the open group, then undoes (redoes) the top group. Does nothing while an undo or
    // redo is already running, or when there is nothing to undo (redo).
    void undo();
    void redo();

    bool isUndoing() const { return m_mode == Mode::Undoing; }
    bool isRedoing() const { return m_mode == Mode::Redoing; }

    // Closes the open group now (dropped when empty). Registrations after it start a new group.
    void endGroup();
    bool hasOpenGroup() const { return m_open != nullptr; }

    // Closes the open group of every manager on this thread: the view host calls it after each
    // event it dispatches, so one input event is one step.
    static void endEventGroups();

    // +1 per group done, -1 per undo, +1 per redo, from 0 at construction.
    int changeCount() const { return m_changeCount; }
    // Called after every change of changeCount with the new value.
    void setChangeCountObserver(std::function<void(int)> observer)
    {
        m_changeObserver = std::move(observer);
    }

    // Forgets both stacks and the open group (the change count stays).
    void removeAllActions();

    // Folding a run of small changes (typing) into one step: the run marks the group of its
    // first change with a key. While nothing else happens (no other group, no undo or redo, no
    // breakCoalescing()), canCoalesce(key) answers true and the run's later changes register
    // nothing: its first step already goes back to where the run began.
    void setCoalescingKey(const void* key);
    bool canCoalesce(const void* key) const;
    // Ends any run: its next change registers a step of its own. A save calls it, so that what
    // is typed after saving marks the document edited again.
    void breakCoalescing();
    // Takes back the last breakCoalescing() while nothing has happened since (no registration,
    // no undo or redo): the run of key goes on folding into its step. False, and nothing
    // changes, otherwise. (X reports a held key's repeats as releases and presses at one
    // instant, and a repeat's release may be taken for the key's last.)
    bool resumeCoalescing(const void* key);
    // Forgets the step of run key, which is still the newest and has nothing after it: the run
    // ended where it began, so its step would undo nothing. The change count goes back if it
    // had counted the step; the run ends for good. False, and nothing changes, otherwise.
    bool withdrawRun(const void* key);

    // Groups on each stack (tests and diagnostics); may include groups whose targets died.
    int undoGroupCount() const { return static_cast<int>(m_undo.size()); }
    int redoGroupCount() const { return static_cast<int>(m_redo.size()); }

private:
    struct Step {
        const void* target = nullptr;
        std::weak_ptr<const void> life;
        Action action;
        bool alive() const { return !life.expired(); }
    };
    using Group = std::vector<Step>;
    enum class Mode { Idle, Undoing, Redoing };

    // Ends any run, with no resuming it: after an undo, a redo or a removal.
    void endRunsForGood();
    // The open group, else the newest closed one; null when there is none.
    const Group* newestGroup() const;
    static bool hasLiveStep(const Group& group);
    static bool hasLiveGroup(const std::vector<std::unique_ptr<Group>>& stack);
    // Runs the top live group of from in reverse; what it registers becomes one group on the
    // other stack.
    void replay(std::vector<std::unique_ptr<Group>>& from, Mode mode, int countDelta);
    void addToChangeCount(int delta);

    std::vector<std::unique_ptr<Group>> m_undo; // top is back()
    std::vector<std::unique_ptr<Group>> m_redo;
    std::unique_ptr<Group> m_open; // registrations since the last close (Idle only)
    Group* m_replayGroup = nullptr; // collects the inverse while undoing or redoing
    Mode m_mode = Mode::Idle;
    int m_changeCount = 0;
    const void* m_openKey = nullptr; // the open group's coalescing key
    const void* m_topKey = nullptr; // the newest closed group's, while nothing came after it
    // The run the last breakCoalescing() ended and its group, while it can be resumed.
    const void* m_brokenKey = nullptr;
    const Group* m_brokenGroup = nullptr;
    std::function<void(int)> m_changeObserver;
    QTimer m_groupTimer; // zero-interval, single-shot: closes the open group next loop turn
};

} // namespace platform
