#pragma once
// The data-entry window's work on one object's rows: read them in property-name order, change a
// name or value, delete a row, add a row. Edits and deletes name the very row that was shown
// and write only when it still holds what was shown.

#include "store/store.h"

namespace olv {

class DataEntryCommands {
public:
    enum class Outcome {
        Done,
        Changed,  // another program changed or removed the row meanwhile: nothing written
        NoObject, // no object clicked, or the search root: nothing written
    };
    static inline const QString kChangedMeanwhile =
        QStringLiteral("This row was changed or removed by another program meanwhile, so nothing was "
                       "written. The rows are shown again as they are now.");

    static inline const QString kNoObject =
        QStringLiteral("Please click an object in the tree first: its properties are edited here.");
    // The same, in the words of a question asked as the window closes, naming the file.
    static QString changedMeanwhileIn(const QString& file);

    explicit DataEntryCommands(const Store& store) : m_store(store) {}

    // The object's rows ordered by property name as Olv sorts text (letter case ignored first);
    // rows with the very same name in the order they were stored.
    QList<StoredRow> rows(const QString& id);
    Outcome change(const StoredRow& shown, const QString& property, const QString& value);
    Outcome remove(const StoredRow& shown);
    Outcome add(const QString& id, const QString& property, const QString& value);
    const QString& path() const { return m_store.path(); }

private:
    const Store& m_store;
};

} // namespace olv
