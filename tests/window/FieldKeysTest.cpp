// Undo and Redo typed in an inspector field after Return go to the document, not to the
// field's own text: the person takes back the change the typed value made to the boxes.
#include "PanelDriving.h"
#include "window/ShadowPanel.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QTest>
#include <gtest/gtest.h>

using namespace windowtest;

TEST(InspectorFields, UndoKeysAfterTypingGoToTheDocument)
{
    InspectorWindow w;
    w.build({ { Kind::Text, 0, true, [](UNDODATA& r) { r.shadowBlurSize = 3; } } });
    // The application's Undo and Redo, as its menus give them to the window.
    QAction undo(&w.win), redo(&w.win);
    undo.setShortcut(QKeySequence::Undo);
    redo.setShortcut(QKeySequence::Redo);
    QObject::connect(&undo, &QAction::triggered, [&] { w.win.undo(); });
    QObject::connect(&redo, &QAction::triggered, [&] { w.win.redo(); });
    w.win.addAction(&undo);
    w.win.addAction(&redo);
    w.win.show();
    QApplication::setActiveWindow(&w.win);
    QLineEdit& field = *w.o.shadowBlurTextField;
    typeInto(field, "12");
    const auto blur = [&] { return w.boxes().textViewAry.front()->shadowBlurSize(); };
    ASSERT_EQ(blur(), 12);
    ASSERT_EQ(QApplication::focusWidget(), &field) << "the field keeps the keyboard after Return";

    // What Qt asks the focused widget before it fires a shortcut: the field must not claim it.
    QKeyEvent claim(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("z"));
    QCoreApplication::sendEvent(&field, &claim);
    EXPECT_FALSE(claim.isAccepted());

    QTest::keyClick(&field, Qt::Key_Z, Qt::ControlModifier);
    endEvent();
    EXPECT_EQ(blur(), 3) << "Ctrl+Z undid the field's typing, not the boxes' change";
    int redone = 0;
    QObject::connect(&redo, &QAction::triggered, [&] { ++redone; });
    // The platform's own Redo keys (Ctrl+Shift+Z on X11, Ctrl+Y elsewhere).
    const QKeyCombination redoKeys = QKeySequence(QKeySequence::Redo)[0];
    QTest::keyClick(&field, redoKeys.key(), redoKeys.keyboardModifiers());
    endEvent();
    EXPECT_EQ(redone, 1);
    EXPECT_EQ(blur(), 12);
    // Other keys still edit the field.
    QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field.selectedText(), field.text());
}
