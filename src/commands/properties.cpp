#include "properties.h"

namespace olv {

PropertyView propertiesOf(Database& db, const QString& id) {
    PropertyView view;
    for (const Row& row : db.rowsOf(id)) {
        // Exactly "TOO": a row "too" is the user's own property and is shown.
        if (row.p == kTOO) {
            view.caption = isObjectId(row.v) ? QStringLiteral("class: ") + db.GetPropertyValue(row.v, kName)
                                             : QString(row.v).remove(QStringLiteral("OlVal"));
            continue;
        }
        const QString value = isObjectId(row.v) ? db.GetPropertyValue(row.v, kName) + QStringLiteral(" [ ") +
                                                      row.v + QStringLiteral(" ]")
                                                : row.v;
        view.cells.push_back({row.p, value});
    }
    return view;
}

} // namespace olv
