#pragma once

// What changed in a mission script since an earlier text of it: a line
// diff (the shortest list of lines removed and added), for the review
// window to show a reviewer the change rather than a page of familiar text.

#include <QList>
#include <QString>
#include <QStringList>

namespace bravik::launch {

struct LineChange
{
    enum class Kind { Same, Added, Removed };
    Kind kind = Kind::Same;
    int oldLine = 0; // from 1; 0 for an added line
    int newLine = 0; // from 1; 0 for a removed line
    QString text;
};

struct ScriptChanges
{
    QList<LineChange> lines; // every line of both texts, in order
    int added = 0;
    int removed = 0;

    bool unchanged() const { return added == 0 && removed == 0; }
    // The new text's lines that were added (changed lines count as added).
    QList<int> addedLines() const;
    // "2 lines added, 1 removed"
    QString countText() const;
    // The changes with `context` lines around them:
    //   "@@ line 12 @@", "  kept", "- old", "+ new"
    QString hunks(int context = 1) const;
};

// The text a reviewer signed off when a file of the same name last ran,
// as its launch record keeps it.
struct EarlierReview
{
    QString text;
    QString reviewer;
    QString reviewedAtUtc;
};

// Lines end in CR LF, CR or LF; a last line end makes no empty line.
QStringList scriptLines(const QString &text);

ScriptChanges compareScripts(const QString &before, const QString &after);

} // namespace bravik::launch
