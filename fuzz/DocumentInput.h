#pragma once
// What document_fuzz does with one input, shared with the regression test that replays the
// inputs kept in tests/data/regressions/document_fuzz: arbitrary bytes are read as a document
// file, validated, and the boxes it holds are built in a box layer the size of its picture, as
// opening a document does. Any crash, hang, leak or undefined behaviour is a finding; what the
// file reads as is not checked. Needs a QGuiApplication.
#include "app/DocumentFile.h"
#include "container/TextViewContainer.h"

#include <QByteArray>

namespace fuzzinput {

inline void openDocument(const QByteArray& bytes)
{
    const DocumentFile::ReadResult result = DocumentFile::read(bytes);
    const auto* contents = std::get_if<DocumentContents>(&result);
    if (!contents || !contents->boxes)
        return;
    TextViewContainer layer(platform::Rect(0, 0, 600, 400));
    layer.applyUndoData(*contents->boxes);
}

} // namespace fuzzinput
