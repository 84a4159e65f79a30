#pragma once
// What the card view shows of a found object: its name and class, its properties with links by
// name, and the files of its first picture and first note. Read for a few cards at a time, as
// the view scrolls to them, never for the whole search at once.

#include "openedonuse.h"

#include <utility>

namespace olv {

struct Card {
    QString id;
    QString name;      // the first Name, or the identifier where it has none, as the tree shows it
    QString className; // the class's Name, "Class" for a class, "N/A" without TOO
    QList<std::pair<QString, QString>> properties; // in the order stored; links by the linked Name
    QString picture;   // the first value naming a picture file, or null
    QString note;      // the first value naming a rich-text note, or null
};

class CardCommand {
public:
    static inline const QString kClassText = QStringLiteral("Class");

    // The file is opened on first use and kept until the command is done with.
    explicit CardCommand(const Store& store, KeepGoing keepGoing = {});

    // The found objects, as the value search finds them.
    QStringList find(const QString& text, bool containing);
    // One card per identifier, in the same order; read in a few statements.
    QList<Card> cards(const QStringList& ids);
    // The same on a file opened elsewhere, such as by a view reading beside its window.
    static QList<Card> cards(Database& db, const QStringList& ids);

    static bool isNotePath(const QString& value); // ends in ".rtf", any letter case
    // The first lines of a note's text that hold something, at most count of them.
    static QStringList firstLines(const QString& text, int count);

private:
    Database& db();

    OpenedOnUse m_db;
};

} // namespace olv
