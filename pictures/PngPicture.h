#pragma once

#include <QImage>
#include <QSize>
#include <string>
#include <string_view>

namespace qm {

// One picture of the image store. Its size is known as soon as it is found, from the PNG header;
// its pixels are decoded the first time they are asked for (to be drawn) and then kept, so a
// picture that is only measured, such as a hover picture never hovered, is never decoded. Used
// from the desk's thread only, like the store that owns it.
class TPngPicture {
public:
    // A picture whose bytes have passed CheckPng with this size; name appears in its errors.
    TPngPicture(std::string name, std::string source, QSize size);
    // A picture already decoded from source.
    TPngPicture(std::string name, std::string source, QImage decoded);
    TPngPicture(const TPngPicture&) = delete;
    TPngPicture& operator=(const TPngPicture&) = delete;

    // The size in pixels, as QImage names it; known without decoding.
    int width() const noexcept { return size_.width(); }
    int height() const noexcept { return size_.height(); }
    QSize size() const noexcept { return size_; }

    // The pixels (Format_ARGB32, or, for a PNG without alpha, the same bytes as
    // Format_ARGB32_Premultiplied), decoded now on their first use. Raises EUI for broken
    // compressed data, once: later uses answer a transparent picture of the same size.
    const QImage& Pixels() const;
    bool IsDecoded() const noexcept { return decoded_; }
    // Decodes the pixels ahead of their first use (on a worker thread that owns the picture for
    // now); a failure is left for Pixels() to raise.
    void Prepare() const;

    // The PNG file the picture is, or is to be, decoded from.
    const std::string& Source() const noexcept { return source_; }

    // Replaces bytes and pixels in place, so that holders of the picture see the new one.
    void Replace(std::string name, std::string source, QImage decoded);

private:
    std::string name_;
    std::string source_;
    QSize size_;
    mutable QImage pixels_;
    mutable bool decoded_ = false;
};

// The picture of PNG bytes taken from name, through the decoded-picture cache; a failure is the
// desk's (EUI).
QImage DecodeForDesk(std::string_view bytes, const std::string& name);

} // namespace qm
