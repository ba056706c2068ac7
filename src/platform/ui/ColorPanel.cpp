#include "platform/ui/ColorPanel.h"

#include <QColorDialog>
#include <QCoreApplication>

namespace platform {

ColorPanel& ColorPanel::shared()
{
    static QPointer<ColorPanel> instance;
    if (!instance)
        instance = new ColorPanel(QCoreApplication::instance());
    return *instance;
}

ColorPanel::ColorPanel(QObject* parent)
    : QObject(parent)
{
}

// The panel goes with the application object, after QApplication has torn its window system
// down; the dialog is deleted by then only if it is already hidden (a shown dialog would touch
// the window system on the way out), otherwise the process exit reclaims it.
ColorPanel::~ColorPanel()
{
    if (m_dialog && !(QCoreApplication::closingDown() && m_dialog->isVisible()))
        delete m_dialog.data();
}

void ColorPanel::setColor(const Color& color)
{
    m_color = color;
    if (m_dialog)
        m_dialog->setCurrentColor(color.toQt());
}

void ColorPanel::setAction(Action action, const QObject* guard)
{
    m_action = std::move(action);
    m_guarded = guard != nullptr;
    m_guard = guard;
}

bool ColorPanel::hasAction() const
{
    return m_action && (!m_guarded || m_guard);
}

void ColorPanel::setShowsAlpha(bool shows)
{
    m_showsAlpha = shows;
    if (m_dialog)
        m_dialog->setOption(QColorDialog::ShowAlphaChannel, shows);
}

QColorDialog* ColorPanel::dialog()
{
    if (!m_dialog) {
        auto* d = new QColorDialog;
        d->setAttribute(Qt::WA_DeleteOnClose, false);
        d->setOption(QColorDialog::ShowAlphaChannel, m_showsAlpha);
        d->setOption(QColorDialog::NoButtons, false);
        d->setModal(false);
        d->setWindowTitle(QStringLiteral("Colors"));
        // colorSelected is the user's confirmation; currentColorChanged (every intermediate
        // colour) is deliberately not listened to.
        QObject::connect(d, &QColorDialog::colorSelected, this,
            [this](const QColor& c) { commitColor(Color::fromQt(c)); });
        m_dialog = d;
    }
    return m_dialog;
}

void ColorPanel::orderFront()
{
    QColorDialog* d = dialog();
    d->setCurrentColor(m_color.toQt());
    d->show();
    d->raise();
}

void ColorPanel::close()
{
    if (m_dialog)
        m_dialog->hide();
}

bool ColorPanel::isVisible() const
{
    return m_dialog && m_dialog->isVisible();
}

void ColorPanel::commitColor(const Color& color)
{
    m_color = color;
    if (!hasAction())
        return;
    // A copy: the action may re-target the panel while it runs.
    const Action action = m_action;
    action(*this);
}

} // namespace platform
