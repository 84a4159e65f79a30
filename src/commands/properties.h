#pragma once
// What the property grid shows of one object: its class for the frame's caption, and a line per
// other row, links shown with the linked object's name.

#include "store/store.h"

#include <optional>
#include <utility>

namespace olv {

struct PropertyView {
    std::optional<QString> caption; // none when the object has no TOO row: the caption stays
    QList<std::pair<QString, QString>> cells; // property, value as shown
};

PropertyView propertiesOf(Database& db, const QString& id);

} // namespace olv
