#include "platform/undo/UndoManager.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// Every live manager, for endEventGroups. Main thread only, like the managers themselves.
std::vector<UndoManager*>& liveManagers()
{
    static std::vector<UndoManager*> managers;
    return managers;
}

} // namespace

UndoManager::UndoManager()
{
    m_groupTimer.setSingleShot(true);
    m_groupTimer.setInterval(0);
    QObject::connect(&m_groupTimer, &QTimer::timeout, [this] { endGroup(); });
    liveManagers().push_back(this);
}

UndoManager::~UndoManager()
{
    auto& managers = liveManagers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void UndoManager::registerUndo(const void* target, std::weak_ptr<const void> life, Action action)
{
    if (!action)
        return;
    Step step { target, std::move(life), std::move(action) };
    if (m_mode != Mode::Idle) {
        m_replayGroup->push_back(std::move(step));
        return;
    }
    m_redo.clear();
    m_brokenKey = nullptr;
    if (!m_open) {
        m_open = std::make_unique<Group>();
        m_openKey = nullptr;
        m_groupTimer.start();
    }
    m_open->push_back(std::move(step));
}

void UndoManager::endGroup()
{
    m_groupTimer.stop();
    if (!m_open)
        return;
    std::unique_ptr<Group> group = std::move(m_open);
    const void* key = std::exchange(m_openKey, nullptr);
    if (group->empty())
        return;
    m_undo.push_back(std::move(group));
    m_topKey = key;
    addToChangeCount(+1);
}

void UndoManager::setCoalescingKey(const void* key)
{
    if (m_mode == Mode::Idle && m_open)
        m_openKey = key;
}

bool UndoManager::canCoalesce(const void* key) const
{
    if (!key || m_mode != Mode::Idle)
        return false;
    return m_open ? m_openKey == key : m_topKey == key && !m_undo.empty();
}

void UndoManager::breakCoalescing()
{
    m_brokenKey = m_open ? m_openKey : m_topKey;
    m_brokenGroup = newestGroup();
    m_openKey = nullptr;
    m_topKey = nullptr;
}

void UndoManager::endRunsForGood()
{
    breakCoalescing();
    m_brokenKey = nullptr;
}

const UndoManager::Group* UndoManager::newestGroup() const
{
    return m_open ? m_open.get() : m_undo.empty() ? nullptr : m_undo.back().get();
}

bool UndoManager::resumeCoalescing(const void* key)
{
    if (!key || key != m_brokenKey || m_mode != Mode::Idle)
        return false;
    // The same group, still the newest (a group closed since is the same group).
    if (newestGroup() != m_brokenGroup)
        return false;
    (m_open ? m_openKey : m_topKey) = key;
    m_brokenKey = nullptr;
    return true;
}

bool UndoManager::withdrawRun(const void* key)
{
    if (!canCoalesce(key))
        return false;
    if (m_open) {
        m_open.reset();
        m_openKey = nullptr;
        m_groupTimer.stop();
    } else {
        m_undo.pop_back();
        addToChangeCount(-1);
    }
    endRunsForGood();
    return true;
}

void UndoManager::endEventGroups()
{
    // A copy: closing a group runs no action, but an observer may create or destroy managers.
    const std::vector<UndoManager*> managers = liveManagers();
    for (UndoManager* manager : managers) {
        const auto& live = liveManagers();
        if (std::find(live.begin(), live.end(), manager) != live.end())
            manager->endGroup();
    }
}

bool UndoManager::hasLiveStep(const Group& group)
{
    return std::any_of(group.begin(), group.end(), [](const Step& s) { return s.alive(); });
}

bool UndoManager::hasLiveGroup(const std::vector<std::unique_ptr<Group>>& stack)
{
    return std::any_of(stack.begin(), stack.end(), [](const auto& g) { return hasLiveStep(*g); });
}

bool UndoManager::canUndo() const
{
    if (m_mode != Mode::Idle)
        return false;
    return (m_open && hasLiveStep(*m_open)) || hasLiveGroup(m_undo);
}

bool UndoManager::canRedo() const
{
    return m_mode == Mode::Idle && hasLiveGroup(m_redo);
}

void UndoManager::undo()
{
    replay(m_undo, Mode::Undoing, -1);
}

void UndoManager::redo()
{
    replay(m_redo, Mode::Redoing, +1);
}

void UndoManager::replay(std::vector<std::unique_ptr<Group>>& from, Mode mode, int countDelta)
{
    if (m_mode != Mode::Idle)
        return;
    endGroup();
    endRunsForGood();
    // Groups whose targets all died are history nobody can act on any more.
    while (!from.empty() && !hasLiveStep(*from.back()))
        from.pop_back();
    if (from.empty())
        return;
    std::unique_ptr<Group> group = std::move(from.back());
    from.pop_back();

    auto inverse = std::make_unique<Group>();
    m_replayGroup = inverse.get();
    m_mode = mode;
    struct Restore {
        UndoManager* manager;
        ~Restore()
        {
            manager->m_mode = Mode::Idle;
            manager->m_replayGroup = nullptr;
        }
    } restore { this };
    for (auto it = group->rbegin(); it != group->rend(); ++it) {
        // Checked per step: an earlier action may have destroyed a later step's target.
        if (it->alive())
            it->action();
    }
    if (!inverse->empty())
        (mode == Mode::Undoing ? m_redo : m_undo).push_back(std::move(inverse));
    addToChangeCount(countDelta);
}

void UndoManager::removeAllActions(const void* target)
{
    auto prune = [target](Group& group) {
        group.erase(std::remove_if(group.begin(), group.end(),
                        [target](const Step& s) { return s.target == target; }),
            group.end());
    };
    for (auto* stack : { &m_undo, &m_redo }) {
        for (auto& group : *stack)
            prune(*group);
        stack->erase(
            std::remove_if(stack->begin(), stack->end(), [](const auto& g) { return g->empty(); }),
            stack->end());
    }
    if (m_open)
        prune(*m_open);
    if (m_replayGroup)
        prune(*m_replayGroup);
    endRunsForGood();
}

void UndoManager::removeAllActions()
{
    m_undo.clear();
    m_redo.clear();
    m_open.reset();
    m_groupTimer.stop();
    endRunsForGood();
    if (m_replayGroup)
        m_replayGroup->clear();
}

void UndoManager::addToChangeCount(int delta)
{
    m_changeCount += delta;
    if (m_changeObserver)
        m_changeObserver(m_changeCount);
}

} // namespace platform
