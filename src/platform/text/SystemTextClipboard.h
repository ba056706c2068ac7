#pragma once
// The application's clipboard (QGuiApplication::clipboard()).
#include "platform/text/TextClipboard.h"

namespace platform {

class SystemTextClipboard final : public TextClipboard {
public:
    QString text() const override;
    void setText(const QString& text) override;
};

} // namespace platform
