#pragma once
// Commands that make objects: a plain object or a class, a collection, a web link, and a clone.
// Each new object is made in one write transaction that picks its identifier, looks up what it
// relies on and appends its rows, so no other program can slip in between.

#include "store/store.h"

#include <utility>

namespace olv {

class ObjectCommands {
public:
    enum class Outcome {
        Made,
        Refused,      // the name is missing: nothing written
        UnknownClass, // no class of that name: nothing written
    };
    struct NewObject {
        QString className; // as typed or picked
        bool makeClass = false;
        QString name;
        QString owner; // BelongsTo, when not empty
        QList<std::pair<QString, QString>> properties;
    };
    static inline const QString kCollectionClass = QStringLiteral("collection");
    static inline const QString kURLClass = QStringLiteral("URL");
    static inline const QString kCloneMark = QStringLiteral("CLONED::");

    ObjectCommands(const Store& store, Clock& clock) : m_store(store), m_clock(clock) {}

    Outcome newObject(const NewObject& input);
    Outcome newCollection(const QString& name, const QString& topic, const QString& description);
    // The class "URL" is made on first use, also when the name then turns out to be missing.
    Outcome newURL(const QString& address, const QString& name, const QString& topic,
                   const QString& description);
    // Copies every row of the object the key stands for under a new identifier, with the mark
    // "EXTRA" = "CLONED::" last; the clone's identifier.
    QString clone(const QString& key);
    // The identifier of the class of that name, made (TOO = "OlValClass", Name) when missing.
    QString classOnFirstUse(const QString& className);

private:
    const Store& m_store;
    Clock& m_clock;
};

} // namespace olv
