#pragma once
// The inputs kept for a fuzz target in tests/data/regressions/<target>/: every input that once
// crashed it, hung it or ran it out of memory, and crafted bad files of the kinds that once did
// (cut short, damaged pictures, sizes past the bounds). The regression tests replay them through
// the target's own entry (ArchiveInput.h, PictureInput.h, CoverageInput.h, DocumentInput.h);
// scripts/fuzz.sh runs them first.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <utility>
#include <vector>

namespace fuzzinput {

struct RegressionInput {
    QString name;
    QByteArray bytes;
};

// The folder of a target's inputs, under the test data named by QUILLMARK_TEST_DATA, or else
// under the checkout this header is in.
inline QString regressionFolder(const QString& target)
{
    QString data = qEnvironmentVariable("QUILLMARK_TEST_DATA");
    if (data.isEmpty())
        data = QFileInfo(QString::fromUtf8(__FILE__))
                   .dir()
                   .filePath(QStringLiteral("../tests/data"));
    return data + QStringLiteral("/regressions/") + target;
}

inline std::vector<RegressionInput> regressionInputs(const QString& folder)
{
    std::vector<RegressionInput> inputs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            inputs.push_back({ name, file.readAll() });
    }
    return inputs;
}

} // namespace fuzzinput
