#include "search.h"

namespace olv {

QString objectIdOf(const QString& key) {
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.mid(bar + 1);
}

bool standsForAnObject(const QString& id) { return !id.isEmpty() && id != SearchCommand::kRootKey; }

QString SearchCommand::countQuestion(qsizetype count) {
    return QString::number(count) + QStringLiteral("objects");
}

SearchCommand::SearchCommand(const Store& store, KeepGoing keepGoing)
    : m_db(store, std::move(keepGoing)) {}

Database& SearchCommand::db() { return m_db.get(); }

QString SearchCommand::rootText(const QString& text) {
    return isObjectId(text) ? db().GetPropertyValue(text, kName) : kRootKey;
}

QStringList SearchCommand::find(const QString& text, bool containing) {
    return db().findObjects(text, containing);
}

QStringList SearchCommand::related(const QString& key) { return db().findObjects(key, false); }

QList<std::pair<QString, QString>> SearchCommand::nodes(const QString& keyPrefix, const QStringList& ids) {
    const QStringList names = db().namesOf(ids);
    QList<std::pair<QString, QString>> nodes;
    nodes.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        nodes.push_back({keyPrefix + ids[i], names[i].isNull() ? ids[i] : names[i]});
    return nodes;
}

} // namespace olv
