#pragma once
// The document view of the sidebar's scrolling panel stack. It asks for 269 points of width
// and never less than 650 of height, so a short stack still fills the scroll view.
#include <QWidget>

class PanelContentView : public QWidget {
public:
    explicit PanelContentView(QWidget* parent = nullptr)
        : QWidget(parent)
    {
    }

    QSize sizeHint() const override { return QSize(269, std::max(height(), 650)); }
};
