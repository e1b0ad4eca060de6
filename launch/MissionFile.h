#pragma once

#include <QByteArray>
#include <QString>

namespace bravik::launch {

// A mission script is a few kilobytes of text; anything past this is not one.
constexpr qint64 kMaxMissionBytes = 4 * 1024 * 1024;

// The text of a mission file as the review window shows it, or the reason
// it cannot be shown.
struct MissionText
{
    enum Problem { None, NoPath, Missing, Folder, NotAFile, Unreadable, Binary, TooLarge };

    Problem problem = None;
    QString text;      // every line followed by CR LF
    QByteArray bytes;  // the file's bytes as read
    QString message;   // names the file and the reason; empty when readable

    bool ok() const { return problem == None; }
};

// Turns the raw bytes of a mission file into the review text: a line ends at
// a CR or a CR LF (the mark not being part of the line), and every line, the
// last one included, is followed by CR LF.  A lone LF does not end a line.
// An empty file gives empty text.  UTF-8 is read as such, anything else as
// Latin-1, so no byte is lost.
QString reviewText(const QByteArray &bytes);

// True when the bytes are plainly not text (NUL bytes).
bool looksBinary(const QByteArray &bytes);

// Reads the file for review.  Refuses, with a message naming the file, an
// empty path, a missing file, a folder, a device or pipe (which could block),
// an unreadable file, binary content and anything larger than `maxBytes`.
MissionText readMissionForReview(const QString &path, qint64 maxBytes = kMaxMissionBytes);

} // namespace bravik::launch
