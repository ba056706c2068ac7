#include "platform/text/SystemTextClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

QString SystemTextClipboard::text() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void SystemTextClipboard::setText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

} // namespace platform
