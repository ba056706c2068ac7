#pragma once
// The clip view of the inspector's scroll area: its origin is the top-left, so panels stack
// from the top. Qt's own widget coordinates already grow downwards; the class keeps the name
// and answers the question the layout code asks.
#include <QWidget>

class FlippedView : public QWidget {
public:
    using QWidget::QWidget;
    bool isFlipped() const { return true; }
};
