#include "app/PictureWindow.h"

#include <QVBoxLayout>

PictureWindow::PictureWindow(platform::UndoManager&)
    : m_view(new QLabel(&m_window))
{
    auto* layout = new QVBoxLayout(&m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setAlignment(Qt::AlignCenter);
    m_view->setMinimumSize(200, 150);
}

bool PictureWindow::loadPicture(const platform::Image& picture, const QByteArray&)
{
    m_picture = picture.toQImage();
    if (m_picture.isNull())
        return false;
    m_window.resize(m_picture.size().scaled(1000, 700, Qt::KeepAspectRatio));
    return true;
}

QImage PictureWindow::composeImage(QSize pixelSize) const
{
    if (m_picture.isNull() || pixelSize.isEmpty())
        return {};
    return m_picture.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void PictureWindow::requestSaturation()
{
    m_view->setPixmap(QPixmap::fromImage(
        m_picture.scaled(m_view->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_window.show();
}
