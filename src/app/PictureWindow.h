#pragma once
// A plain window for a document while the full document window is not part of the
// application yet: it shows the picture, keeps the state it was given so that a save loses
// nothing, and composes the picture alone for previews and exports.
#include "app/DocumentWindowPort.h"

#include <QLabel>
#include <QWidget>

class PictureWindow final : public DocumentWindowPort {
public:
    explicit PictureWindow(platform::UndoManager& undo);

    QWidget* widget() override { return &m_window; }
    bool loadPicture(const platform::Image& picture, const QByteArray& bytes) override;
    void applyContents(const DocumentContents& contents) override { m_state = contents; }
    DocumentContents captureContents() const override { return m_state; }
    QImage composeImage(QSize pixelSize) const override;
    QSize pictureSize() const override { return m_picture.size(); }
    void requestSaturation() override;

private:
    QWidget m_window;
    QLabel* m_view;
    QImage m_picture;
    DocumentContents m_state;
};
