// The undo history as the views use it: steps grouped per input event (through a real view
// host) or per loop turn, undo and redo landing on the opposite stack, the change count, and
// targets that die with steps still registered (run under ASan: a dead target's step must not
// even be touched).
#include "platform/undo/UndoManager.h"

#include "platform/ui/View.h"
#include "platform/ui/ViewHost.h"
#include "support/NamedCase.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace platform;

namespace {

// A value that registers its own restore, as a box does: setting it registers setting it back.
struct Model {
    UndoManager& undo;
    int value = 0;
    UndoLifetime life;

    explicit Model(UndoManager& manager)
        : undo(manager)
    {
    }
    void set(int v)
    {
        const int old = value;
        value = v;
        undo.registerUndo(this, life, [this, old] { set(old); });
    }
};

// A view that runs whatever the test puts in it when it is pressed.
class PressView : public View {
public:
    using View::View;
    std::function<void()> onPress;
    bool mouseDown(const Event&) override
    {
        if (onPress)
            onPress();
        return true;
    }
};

struct Harness {
    UndoManager undo;
    std::map<char, std::unique_ptr<Model>> models;
    QStringList counts;
    ViewHost host;
    PressView* view = nullptr;

    Harness()
    {
        for (char t : { 'a', 'b' })
            models[t] = std::make_unique<Model>(undo);
        undo.setChangeCountObserver([this](int n) { counts << QString::number(n); });
        host.resize(100, 100);
        auto root = std::make_unique<PressView>(Rect(0, 0, 100, 100));
        view = root.get();
        host.setRootView(std::move(root));
    }

    Model* model(char t) { return models[t].get(); }

    // One token of a script (see the table).
    void run(const QString& token)
    {
        const char op = token[0].toLatin1();
        if (op == 'E') {
            // E:a1,b2 — one mouse press that makes the listed changes.
            const QStringList inner = token.mid(2).split(',', Qt::SkipEmptyParts);
            view->onPress = [this, inner] {
                for (const QString& t : inner)
                    run(t);
            };
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50), QPointF(50, 50),
                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&host, &press);
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 50), QPointF(50, 50),
                Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&host, &release);
        } else if (op == 'L') {
            QCoreApplication::processEvents();
        } else if (op == 'u') {
            undo.undo();
        } else if (op == 'r') {
            undo.redo();
        } else if (op == 'x') {
            models.erase(token[1].toLatin1()); // dies without removeAllActions
        } else if (op == 'X') {
            undo.removeAllActions(model(token[1].toLatin1()));
        } else if (op == 'k') {
            // A step whose undo destroys its own target.
            const char t = token[1].toLatin1();
            Model* m = model(t);
            undo.registerUndo(m, m->life, [this, t] { models.erase(t); });
        } else if (op == 'n') {
            // A step whose undo registers no inverse.
            Model* m = model(token[1].toLatin1());
            undo.registerUndo(m, m->life, [] {});
        } else if (op == 'N') {
            // A step whose undo asks for another undo.
            Model* m = model(token[1].toLatin1());
            undo.registerUndo(m, m->life, [this, m] {
                undo.undo();
                m->value += 100;
            });
        } else {
            model(op)->set(token.mid(1).toInt());
        }
    }
};

struct Row {
    const char* name;
    const char* script; // tokens: aN set a to N, E:tok,tok one input event, L one loop turn,
                        // u undo, r redo, xa a dies, Xa removeAllActions(a),
                        // ka/na/Na steps whose undo kills a / registers nothing / nests undo
    int a; // -1: destroyed
    int b;
    const char* counts; // the change count after each change of it
    bool canUndo;
    bool canRedo;
};

const Row kRows[] = {
    { "TwoChangesInOneEventMakeOneGroup", "E:a1,b2 u", 0, 0, "1 0", false, true },
    { "ChangesInTwoEventsMakeTwoGroups", "E:a1 E:b2 u", 1, 0, "1 2 1", true, true },
    { "OneLoopTurnMakesOneGroup", "a1 b2 L a3 L u", 1, 2, "1 2 1", true, true },
    { "EventsWithoutChangesMakeNoGroup", "E: E:a1 E: u", 0, 0, "1 0", false, true },
    { "UndoClosesTheOpenGroupFirst", "a1 u", 0, 0, "1 0", false, true },
    { "RedoClosesTheOpenGroupToo", "a1 r", 1, 0, "1", true, false },
    { "UndoRunsAGroupInReverse", "E:a1,a2,a3 u", 0, 0, "1 0", false, true },
    { "UndoRegistersOnRedoRedoOnUndo", "a1 L a2 L u u r", 1, 0, "1 2 1 0 1", true, true },
    { "UndoRedoUndoReturnsToBefore", "a1 L u r u", 0, 0, "1 0 1 0", false, true },
    { "RedoAllTheWay", "a1 L a2 L u u r r", 2, 0, "1 2 1 0 1 2", true, false },
    { "ANewChangeClearsRedo", "a1 L a2 L u b5 L", 1, 5, "1 2 1 2", true, false },
    { "UndoWithNothingToUndo", "u r", 0, 0, "", false, false },
    { "AnUndoThatRegistersNothingLeavesNoRedo", "na L u", 0, 0, "1 0", false, false },
    { "NoNestedUndo", "a1 L Na L u", 101, 0, "1 2 1", true, false },
    { "RemoveAllActionsDropsATargetsSteps", "a1 L b2 L Xa u", 1, 0, "1 2 1", false, true },
    { "RemoveAllActionsInTheOpenGroup", "a1 b2 Xa u", 1, 0, "1 0", false, true },
    { "ADeadTargetsStepNeverRuns", "a1 L xa u", -1, 0, "1", false, false },
    { "ADeadTargetsRedoNeverRuns", "a1 L u xa r", -1, 0, "1 0", false, false },
    { "DeadTargetInAMixedGroup", "E:a1,b2 xa u", -1, 0, "1 0", false, true },
    { "AnUndoThatKillsItsTargetSkipsItsOlderSteps", "E:a1,ka u", -1, 0, "1 0", false, false },
};

class UndoManagerScript : public ::testing::TestWithParam<Row> { };

TEST_P(UndoManagerScript, EndState)
{
    const Row& row = GetParam();
    Harness h;
    for (const QString& token : QString(row.script).split(' ', Qt::SkipEmptyParts))
        h.run(token);
    auto valueOf = [&](char t) { return h.models.count(t) ? h.models[t]->value : -1; };
    EXPECT_EQ(valueOf('a'), row.a);
    EXPECT_EQ(valueOf('b'), row.b);
    EXPECT_EQ(h.counts.join(' ').toStdString(), row.counts);
    EXPECT_EQ(h.undo.canUndo(), row.canUndo);
    EXPECT_EQ(h.undo.canRedo(), row.canRedo);
    EXPECT_EQ(h.undo.changeCount(), h.counts.isEmpty() ? 0 : h.counts.last().toInt());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UndoManagerScript, ::testing::ValuesIn(kRows), testsupport::RowName());

TEST(UndoManager, StateWhileUndoing)
{
    // Inside an action the manager says what it is doing and refuses both commands.
    UndoManager undo;
    UndoLifetime life;
    QStringList seen;
    undo.registerUndo(&life, life, [&] {
        seen << QString("undoing=%1 redoing=%2 canUndo=%3 canRedo=%4")
                    .arg(undo.isUndoing())
                    .arg(undo.isRedoing())
                    .arg(undo.canUndo())
                    .arg(undo.canRedo());
        undo.registerUndo(
            &life, life, [&] { seen << QString("redoing=%1").arg(undo.isRedoing()); });
    });
    undo.undo();
    undo.redo();
    EXPECT_EQ(
        seen.join(" | ").toStdString(), "undoing=1 redoing=0 canUndo=0 canRedo=0 | redoing=1");
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.isRedoing());
}

TEST(UndoManager, TwoManagersKeepTheirOwnSteps)
{
    UndoManager first, second;
    UndoLifetime life;
    int a = 0, b = 0;
    first.registerUndo(&life, life, [&] { ++a; });
    second.registerUndo(&life, life, [&] { ++b; });
    UndoManager::endEventGroups(); // closes both
    EXPECT_FALSE(first.hasOpenGroup());
    EXPECT_FALSE(second.hasOpenGroup());
    first.undo();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(second.changeCount(), 1);
    EXPECT_TRUE(second.canUndo());
}

} // namespace

// A run broken by a release that was a repeat's resumes in its own step, and only while
// nothing has happened since: a later step, an undo or another run's key refuse the resume, so
// nothing of theirs folds into the run's step.
TEST(UndoManager, ABrokenRunResumesOnlyWhileNothingCameAfter)
{
    static const char run = 0, other = 0;
    struct Row {
        const char* name;
        std::function<void(UndoManager&, Model&)> between;
        const void* key;
        bool resumes;
    };
    const Row rows[] = {
        { "nothing between", [](UndoManager&, Model&) {}, &run, true },
        { "another step between",
            [](UndoManager& u, Model& m) {
                m.set(7);
                u.endGroup();
            },
            &run, false },
        { "an undo between", [](UndoManager& u, Model&) { u.undo(); }, &run, false },
        { "another run's key", [](UndoManager&, Model&) {}, &other, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UndoManager undo;
        Model model(undo);
        model.set(1);
        undo.setCoalescingKey(&run);
        undo.endGroup();
        undo.breakCoalescing();
        row.between(undo, model);
        EXPECT_EQ(undo.resumeCoalescing(row.key), row.resumes);
        EXPECT_EQ(undo.canCoalesce(&run), row.resumes);
        if (row.resumes) {
            EXPECT_FALSE(undo.resumeCoalescing(&run)) << "a resume is taken once";
        }
    }
}
