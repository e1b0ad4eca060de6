#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

namespace bravik::test {

// A JPEG photo of width × height pixels (its left half red, its right half
// blue) carrying EXIF data: its orientation (1 upright, 6 turned a quarter
// to the right, …) and, when not empty, when it was taken
// ("2026:12:08 10:41:07").
QByteArray jpegPhoto(int width, int height, int orientation, const QString &takenAt,
                     QColor left = QColor(200, 40, 40), QColor right = QColor(40, 60, 200));

// Writes bytes to a file; false when it cannot.
bool writeBytes(const QString &path, const QByteArray &bytes);

} // namespace bravik::test
