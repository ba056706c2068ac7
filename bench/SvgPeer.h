#pragma once
// librsvg drawing an SVG document into a premultiplied QImage through cairo, for the benches'
// peers: the document is parsed once and drawn again on each render(), the picture cleared
// first. (Qt's premultiplied ARGB32 and cairo's ARGB32 share the layout.)
//
// Include before any Qt header: glib's headers use names that Qt defines as macros.
// clang-format off
#include <librsvg/rsvg.h>
// clang-format on

#include <QImage>
#include <string>

class SvgPeer {
public:
    SvgPeer(const std::string& document, int width, int height)
        : m_picture(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        GError* error = nullptr;
        m_handle = rsvg_handle_new_from_data(
            reinterpret_cast<const guint8*>(document.data()), gsize(document.size()), &error);
        if (!m_handle) {
            m_error = error ? error->message : "librsvg refused the document";
            if (error)
                g_error_free(error);
            return;
        }
        m_picture.fill(Qt::transparent);
        m_surface = cairo_image_surface_create_for_data(m_picture.bits(), CAIRO_FORMAT_ARGB32,
            m_picture.width(), m_picture.height(), int(m_picture.bytesPerLine()));
    }
    ~SvgPeer()
    {
        if (m_surface)
            cairo_surface_destroy(m_surface);
        if (m_handle)
            g_object_unref(m_handle);
    }
    SvgPeer(const SvgPeer&) = delete;
    SvgPeer& operator=(const SvgPeer&) = delete;

    bool isValid() const { return m_handle != nullptr; }
    // Why the document was refused (empty when it was not).
    const std::string& error() const { return m_error; }

    // Clears the picture and draws the document over the whole of it; false when librsvg
    // fails.
    bool render()
    {
        if (!m_handle)
            return false;
        cairo_t* cr = cairo_create(m_surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        const RsvgRectangle viewport { 0, 0, double(m_picture.width()),
            double(m_picture.height()) };
        const bool ok = rsvg_handle_render_document(m_handle, cr, &viewport, nullptr);
        cairo_destroy(cr);
        cairo_surface_flush(m_surface);
        return ok;
    }

    // The last picture rendered (drawn into in place: copy it to keep it past the next render).
    const QImage& picture() const { return m_picture; }

private:
    RsvgHandle* m_handle = nullptr;
    cairo_surface_t* m_surface = nullptr;
    QImage m_picture;
    std::string m_error;
};
