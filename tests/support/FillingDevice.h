#pragma once
// A device that takes a fixed number of bytes and then fails, as a full disk does mid-way
// through a file.
#include <QIODevice>
#include <algorithm>

namespace testsupport {

class FillingDevice final : public QIODevice {
public:
    explicit FillingDevice(qint64 budget)
        : m_budget(budget)
    {
        open(QIODevice::WriteOnly);
    }
    qint64 taken = 0; // bytes accepted so far

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override
    {
        if (taken >= m_budget) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = std::min(length, m_budget - taken);
        taken += n;
        return n;
    }

private:
    qint64 m_budget;
};

} // namespace testsupport
