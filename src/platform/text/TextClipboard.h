#pragma once
// Where cut, copy and paste of plain text go. The editor talks to this interface so that
// tests can give it a clipboard of their own.
#include <QString>

namespace platform {

class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

} // namespace platform
