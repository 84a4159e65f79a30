// Narrowing a search by letter case, and values as shown, the same for every engine.

#include "keys.h"
#include "jet.h"

#include <sqlite3.h>
#include <string>
#include <vector>

namespace olv::keys {

QStringList spellings(const QString& text, qsizetype limit) {
    std::vector<std::u32string> all{std::u32string()};
    for (const char32_t c : text.toStdU32String()) {
        std::u32string alternatives;
        for (char32_t a : jet::sameLetters(c)) {
            if (a >= U'A' && a <= U'Z') a += U'a' - U'A';
            if (alternatives.find(a) == std::u32string::npos) alternatives.push_back(a);
        }
        if (all.size() * alternatives.size() > size_t(limit)) return {};
        std::vector<std::u32string> next;
        next.reserve(all.size() * alternatives.size());
        for (const std::u32string& s : all)
            for (const char32_t a : alternatives) next.push_back(s + a);
        all = std::move(next);
    }
    QStringList result;
    for (const std::u32string& s : all) result << QString::fromStdU32String(s);
    return result;
}

QString asciiLower(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + ('a' - 'A'));
    return text;
}

QString escapeLike(QString s) {
    return s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
}

QString shownAs(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::LongLong: return QString::number(value.toLongLong());
    case QMetaType::Double: {
        char* text = sqlite3_mprintf("%!.15g", value.toDouble()); // as SQLite turns a real into text
        const QString shown = QString::fromUtf8(text);
        sqlite3_free(text);
        return shown;
    }
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    default: {
        QString text = value.toString();
        if (text.isNull()) text = QLatin1String(""); // text, even when empty, is no NULL
        return text;
    }
    }
}

QString rowKey(const QString& o, const QString& p, const QString& v) {
    const auto field = [](const QString& text) { return text.isNull() ? QString(QChar(1)) : QChar(2) + text; };
    return field(o) + QChar(0) + field(p) + QChar(0) + field(v);
}

} // namespace olv::keys
