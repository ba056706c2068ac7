#pragma once
// The one shared colour panel of the application: a non-modal colour dialog with alpha that
// several editors use in turn. Before each use an editor sets the panel's identifier, colour
// and action; setting another action (or nullptr) detaches the previous editor.
//
// Delivery is committed picks only: the action runs when the user confirms a colour, never
// for the intermediate colours while the user is choosing, so one pick makes one edit (and
// one undo step). An action bound to a guard object is dropped when that object dies, so a
// colour that arrives after its control is gone goes nowhere.
#include "platform/graphics/Color.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QColorDialog;

namespace platform {

class ColorPanel : public QObject {
public:
    using Action = std::function<void(ColorPanel&)>;

    // Made on first use, owned by the application object.
    static ColorPanel& shared();

    Color color() const { return m_color; }
    // Shows the colour in the panel; never sends the action.
    void setColor(const Color& color);

    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString& identifier) { m_identifier = identifier; }

    // The receiver of committed picks; nullptr detaches. With a guard, the action is dropped
    // once the guard is destroyed.
    void setAction(Action action, const QObject* guard = nullptr);
    bool hasAction() const;

    // Kept for the editors that ask for it; delivery stays committed-only.
    void setContinuous(bool continuous) { m_continuous = continuous; }
    bool isContinuous() const { return m_continuous; }
    void setShowsAlpha(bool shows);
    bool showsAlpha() const { return m_showsAlpha; }

    // Brings the panel up (non-modal) with the current colour.
    void orderFront();
    void close();
    bool isVisible() const;

    // A confirmed pick: stores the colour and sends the action. The dialog calls it; tests
    // call it to stand in for the user.
    void commitColor(const Color& color);

    // The dialog, made on first call; for tests and the application's window layering.
    QColorDialog* dialog();

private:
    explicit ColorPanel(QObject* parent);
    ~ColorPanel() override;

    Color m_color = Color::white();
    QString m_identifier;
    Action m_action;
    bool m_guarded = false;
    QPointer<const QObject> m_guard;
    bool m_continuous = true;
    bool m_showsAlpha = true;
    QPointer<QColorDialog> m_dialog;
};

} // namespace platform
