#include "objects.h"

#include "search.h"

namespace olv {

namespace {

bool blank(const QString& text) { return text.trimmed().isEmpty(); }

// The optional rows of a collection or a web link: each only when its text is not blank.
void addUnlessBlank(QList<Row>& rows, const QString& id, const QString& property, const QString& value) {
    if (!blank(value)) rows.push_back({id, property, value});
}

} // namespace

ObjectCommands::Outcome ObjectCommands::newObject(const NewObject& input) {
    if (blank(input.name)) return Outcome::Refused;
    Database db = m_store.open();
    bool unknownClass = false;
    db.step((input.makeClass ? QStringLiteral("new class ") : QStringLiteral("new object ")) + input.name);
    const QString id = db.createObject(m_clock, [&](const QString& id) -> std::optional<QList<Row>> {
        const QString classValue = input.makeClass ? kClassValue : db.FindClassId(input.className);
        if (classValue == kNotAvailable) {
            unknownClass = true;
            return std::nullopt;
        }
        QList<Row> rows = {{id, kTOO, classValue}, {id, kName, input.name}};
        if (!input.owner.isEmpty()) rows.push_back({id, kBelongsTo, input.owner});
        for (const auto& [property, value] : input.properties)
            if (!blank(property) && !blank(value)) rows.push_back({id, property, value});
        return rows;
    });
    if (unknownClass) return Outcome::UnknownClass;
    return id.isNull() ? Outcome::Refused : Outcome::Made;
}

QString ObjectCommands::classOnFirstUse(const QString& className) {
    Database db = m_store.open();
    QString classId = db.FindClassId(className);
    if (classId != kNotAvailable) return classId;
    const QString made = db.step(QStringLiteral("new class ") + className).createObject(m_clock, [&](const QString& id) -> std::optional<QList<Row>> {
        // Another program may have made it since the look above.
        classId = db.FindClassId(className);
        if (classId != kNotAvailable) return std::nullopt;
        return QList<Row>{{id, kTOO, kClassValue}, {id, kName, className}};
    });
    return made.isNull() ? classId : made;
}

ObjectCommands::Outcome ObjectCommands::newCollection(const QString& name, const QString& topic,
                                                      const QString& description) {
    // The name box's hint begins with "required"; a name that does too counts as not entered.
    if (blank(name) || name.startsWith(QStringLiteral("required"))) return Outcome::Refused;
    classOnFirstUse(kCollectionClass);
    Database db = m_store.open();
    db.step(QStringLiteral("new collection ") + name);
    db.createObject(m_clock, [&](const QString& id) -> std::optional<QList<Row>> {
        QList<Row> rows = {{id, kTOO, db.FindClassId(kCollectionClass)}, {id, kName, name}};
        addUnlessBlank(rows, id, kTopic, topic);
        addUnlessBlank(rows, id, kDescription, description);
        return rows;
    });
    return Outcome::Made;
}

ObjectCommands::Outcome ObjectCommands::newURL(const QString& address, const QString& name,
                                               const QString& topic, const QString& description) {
    classOnFirstUse(kURLClass);
    if (blank(name) || name == QStringLiteral("required")) return Outcome::Refused;
    Database db = m_store.open();
    db.step(QStringLiteral("new web link ") + name);
    db.createObject(m_clock, [&](const QString& id) -> std::optional<QList<Row>> {
        QList<Row> rows = {{id, kTOO, db.FindClassId(kURLClass)}, {id, kName, name}};
        addUnlessBlank(rows, id, kURL, address);
        addUnlessBlank(rows, id, kTopic, topic);
        addUnlessBlank(rows, id, kDescription, description);
        return rows;
    });
    return Outcome::Made;
}

QString ObjectCommands::clone(const QString& key) {
    const QString source = objectIdOf(key);
    Database db = m_store.open();
    const QString name = db.valueOf(source, kName);
    db.step(QStringLiteral("clone of ") + (name.isEmpty() ? source : name));
    return db.createObject(m_clock, [&](const QString& id) -> std::optional<QList<Row>> {
        QList<Row> rows;
        for (const Row& row : db.rowsOf(source)) rows.push_back({id, row.p, row.v});
        rows.push_back({id, kEXTRA, kCloneMark});
        return rows;
    });
}

} // namespace olv
