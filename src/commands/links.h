#pragma once
// Commands that link files to the object clicked last: a picture by its path, and a rich-text
// note kept in a file beside the database with a row that leads to it.

#include "store/store.h"

namespace olv {

class LinkCommands {
public:
    enum class Outcome {
        Added,
        NoObject,   // nothing clicked yet, or the search root: nothing written
        NotAnImage, // the path does not end in a picture's extension: nothing written
        NotWritten, // the note file could not be written: no row either
    };
    struct Note {
        Outcome outcome = Outcome::Added;
        QString path;    // the note file
        QString problem; // for the user, when it was not written
    };
    static inline const QString kNoObjectForImage =
        QStringLiteral("Please click an object in the tree first: the image link is added to the "
                       "object clicked last.");
    // The main window shows a linked picture by these endings, so only they are linked.
    static inline const QString kNotAnImage =
        QStringLiteral("Only pictures whose names end in .bmp, .gif or .jpg can be linked, as the main "
                       "window shows those. Please choose such a file (a .jpeg picture can be renamed "
                       "to .jpg).");
    static inline const QString kNoPictureChosen = QStringLiteral("Please choose a picture with \"select image\" first.");
    static inline const QString kNoObjectForNote =
        QStringLiteral("Please click an object in the tree first: the note is added to the object "
                       "clicked last.");

    explicit LinkCommands(const Store& store) : m_store(store) {}

    // Ends in ".gif", ".jpg" or ".bmp", in any letter case: the last four characters decide.
    static bool isImagePath(const QString& path);

    // Appends (id, property, path) when id stands for an object and the path names a picture.
    Outcome addImage(const QString& id, const QString& property, const QString& path);

    // Writes the note to a file of its own beside the database, then appends (id, property,
    // file path). The first note of an object is DatabasePath + "." + id + ".rtf", later ones
    // take the next free DatabasePath + "." + id + "." + n + ".rtf", so no note replaces
    // another. The file is written whole and synced to the disk before its row is committed. A
    // file that cannot be written adds no row; a row that cannot be stored (throws StoreError)
    // leaves no file.
    Note addNote(const QString& id, const QString& property, const QByteArray& rtf);

    // The n-th note file name of the object (n from 1).
    QString notePath(const QString& id, int n) const;

private:
    const Store& m_store;
};

} // namespace olv
