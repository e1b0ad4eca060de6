#include "TestPhotos.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>

namespace bravik::test {

namespace {

ExifEntry *entryFor(ExifData *data, ExifIfd ifd, ExifTag tag)
{
    ExifEntry *entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (entry)
        return entry;
    entry = exif_entry_new();
    entry->tag = tag;
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_initialize(entry, tag);
    exif_entry_unref(entry);
    return entry;
}

} // namespace

QByteArray jpegPhoto(int width, int height, int orientation, const QString &takenAt, QColor left, QColor right)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height, left);
    p.fillRect(width / 2, 0, width - width / 2, height, right);
    p.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);

    ExifData *data = exif_data_new();
    exif_data_set_byte_order(data, EXIF_BYTE_ORDER_INTEL);
    ExifEntry *o = entryFor(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    exif_set_short(o->data, EXIF_BYTE_ORDER_INTEL, ExifShort(orientation));
    if (!takenAt.isEmpty()) {
        ExifEntry *t = entryFor(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
        const QByteArray text = takenAt.toLatin1();
        if (t->size >= unsigned(text.size()) + 1)
            std::memcpy(t->data, text.constData(), size_t(text.size()) + 1);
    }
    unsigned char *exif = nullptr;
    unsigned int exifSize = 0;
    exif_data_save_data(data, &exif, &exifSize);
    exif_data_unref(data);

    // An APP1 segment right after the start-of-image marker.
    QByteArray app1("\xFF\xE1", 2);
    const int length = int(exifSize) + 2;
    app1 += char((length >> 8) & 0xFF);
    app1 += char(length & 0xFF);
    app1 += QByteArray(reinterpret_cast<const char *>(exif), int(exifSize));
    std::free(exif);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace bravik::test
