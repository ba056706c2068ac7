#pragma once
// Pictures as archives store them, for the tests that write archives by hand.
#include "platform/archive/KeyedArchiver.h"

#include <QBuffer>
#include <QImageWriter>
#include <gtest/gtest.h>

namespace archivetest {

inline QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "png").write(image));
    return bytes;
}

// A picture object holding the given PNG bytes under "png", written as given under either of
// the class names files use for pictures. Each instance is an object of its own: one instance
// per use makes a file as they were before pictures were shared, with a copy at every use.
class RawPicture final : public platform::KeyedCoding {
public:
    explicit RawPicture(QByteArray png, QString className = QStringLiteral("CIImage"))
        : m_png(std::move(png))
        , m_className(std::move(className))
    {
    }
    QString archiveClassName() const override { return m_className; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override
    {
        coder.encodeBytes("png", m_png);
    }

private:
    QByteArray m_png;
    QString m_className;
};

} // namespace archivetest
