#include "cards.h"

#include "links.h"

#include <QHash>
#include <QSet>

namespace olv {

CardCommand::CardCommand(const Store& store, KeepGoing keepGoing)
    : m_db(store, std::move(keepGoing)) {}

Database& CardCommand::db() { return m_db.get(); }

QStringList CardCommand::find(const QString& text, bool containing) { return db().findObjects(text, containing); }

bool CardCommand::isNotePath(const QString& value) { return value.right(4).toUpper() == u".RTF"; }

QStringList CardCommand::firstLines(const QString& text, int count) {
    QStringList lines;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (lines.size() >= count) break;
        const QStringView trimmed = line.trimmed();
        if (!trimmed.isEmpty()) lines << trimmed.toString();
    }
    return lines;
}

QList<Card> CardCommand::cards(const QStringList& ids) { return cards(db(), ids); }

QList<Card> CardCommand::cards(Database& db, const QStringList& ids) {
    const QList<QList<Row>> rows = db.rowsOfEach(ids);

    // Classes and linked objects are named in one more read for all the cards.
    QSet<QString> linked;
    for (const QList<Row>& object : rows)
        for (const Row& r : object)
            if (isObjectId(r.v)) linked.insert(r.v);
    const QStringList targets(linked.cbegin(), linked.cend());
    const QStringList targetNames = db.namesOf(targets);
    QHash<QString, QString> nameOf;
    for (qsizetype t = 0; t < targets.size(); ++t) nameOf.insert(targets[t], targetNames[t]);
    // A linked object without a Name is shown by its identifier, as the tree lists it.
    const auto named = [&](const QString& v) {
        const QString name = nameOf.value(v);
        return name.isNull() ? v : name;
    };

    QList<Card> cards;
    cards.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i) {
        Card card;
        card.id = ids[i];
        bool classSeen = false, nameSeen = false;
        for (const Row& r : rows[i]) {
            const QString v = r.v.isNull() ? QStringLiteral("") : r.v;
            // Exactly "TOO" is the class, as the property grid reads it; the first Name in any
            // letter case is the title, as the tree reads it. Both show once, as title and class.
            if (r.p == kTOO && !classSeen) {
                classSeen = true;
                card.className = isObjectId(v) ? nameOf.value(v, kNotAvailable)
                                               : v == kClassValue ? kClassText : v;
                if (card.className.isNull()) card.className = kNotAvailable;
                continue;
            }
            if (jet::equal(r.p, kName) && !nameSeen) {
                nameSeen = true;
                card.name = v;
                continue;
            }
            if (card.picture.isNull() && LinkCommands::isImagePath(v)) card.picture = v;
            if (card.note.isNull() && isNotePath(v)) card.note = v;
            card.properties.push_back({r.p, isObjectId(v) ? named(v) : v});
        }
        if (!nameSeen) card.name = card.id;
        if (!classSeen) card.className = kNotAvailable;
        cards.push_back(std::move(card));
    }
    return cards;
}

} // namespace olv
