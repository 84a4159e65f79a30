#include "jet.h"

#include <algorithm>
#include <unordered_map>

namespace olv::jet {

QString fold(const QString& text) { return text.toCaseFolded(); }

bool equal(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool less(const QString& a, const QString& b) {
    const int c = fold(a).compare(fold(b));
    if (c != 0) return c < 0;
    return a < b;
}

std::u32string sameLetters(char32_t c) {
    // Letters that fold alike, keyed by their folded form; built once. No character beyond
    // the first two planes has a case.
    static const auto classes = [] {
        std::unordered_map<char32_t, std::u32string> m;
        for (char32_t x = 0; x < 0x20000; ++x) {
            const auto f = static_cast<char32_t>(QChar::toCaseFolded(static_cast<uint>(x)));
            if (f == x) continue;
            std::u32string& members = m[f];
            if (members.empty()) members.push_back(f);
            members.push_back(x);
        }
        return m;
    }();
    const auto it = classes.find(static_cast<char32_t>(QChar::toCaseFolded(static_cast<uint>(c))));
    if (it == classes.end()) return std::u32string(1, c);
    std::u32string result(1, c);
    for (char32_t x : it->second)
        if (x != c) result.push_back(x);
    return result;
}

static char32_t foldChar(char32_t c) {
    return static_cast<char32_t>(QChar::toCaseFolded(static_cast<uint>(c)));
}

Pattern::Pattern(const QString& pattern) {
    // Ranges keep the bounds as typed ("[Z-a]" is a valid range); single characters are folded.
    const std::u32string p = pattern.toStdU32String();
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            if (m_tokens.empty() || m_tokens.back().kind != Kind::Any) m_tokens.push_back({Kind::Any});
        } else if (c == U'?') {
            m_tokens.push_back({Kind::One});
        } else if (c == U'#') {
            m_tokens.push_back({Kind::Digit});
        } else if (c == U'[') {
            size_t j = i + 1;
            Token t{Kind::Set};
            if (j < p.size() && p[j] == U'!') {
                t.negated = true;
                ++j;
            }
            while (j < p.size() && p[j] != U']') {
                char32_t lo = p[j];
                if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
                    char32_t hi = p[j + 2];
                    if (hi < lo)
                        throw PatternError("the range [" + QString::fromStdU32String({lo}).toStdString() +
                                           "-" + QString::fromStdU32String({hi}).toStdString() +
                                           "] runs backwards");
                    t.ranges.push_back({lo, hi});
                    j += 3;
                } else {
                    t.ranges.push_back({lo, lo});
                    ++j;
                }
            }
            if (j >= p.size())
                throw PatternError("the pattern has a \"[\" without its closing \"]\"");
            i = j;
            if (t.ranges.empty() && !t.negated) continue; // "[]" stands for nothing
            if (!t.negated && t.ranges.size() == 1 && t.ranges[0].first == t.ranges[0].second)
                m_tokens.push_back({Kind::Char, foldChar(t.ranges[0].first)});
            else
                m_tokens.push_back(std::move(t));
        } else {
            m_tokens.push_back({Kind::Char, foldChar(c)});
        }
    }
}

bool Pattern::tokenMatches(const Token& t, char32_t c) const {
    switch (t.kind) {
    case Kind::One:
        return true;
    case Kind::Digit:
        return c >= U'0' && c <= U'9';
    case Kind::Char:
        return t.ch == c;
    case Kind::Set: {
        // The value's character matches when any of its case forms lies in the list.
        const auto inList = [&](char32_t x) {
            return std::any_of(t.ranges.begin(), t.ranges.end(),
                               [x](const auto& range) { return x >= range.first && x <= range.second; });
        };
        bool in = inList(c);
        if (!in)
            for (char32_t x : sameLetters(c))
                if ((in = inList(x))) break;
        return in != t.negated;
    }
    case Kind::Any:
        break;
    }
    return false;
}

bool Pattern::matches(const QString& value) const {
    std::u32string s = value.toStdU32String();
    for (auto& c : s) c = foldChar(c);
    // Greedy match with a single backtrack point at the last "*": linear for these tokens.
    size_t si = 0, ti = 0, starTi = SIZE_MAX, starSi = 0;
    while (si < s.size()) {
        if (ti < m_tokens.size() && m_tokens[ti].kind == Kind::Any) {
            starTi = ti++;
            starSi = si;
        } else if (ti < m_tokens.size() && tokenMatches(m_tokens[ti], s[si])) {
            ++ti;
            ++si;
        } else if (starTi != SIZE_MAX) {
            ti = starTi + 1;
            si = ++starSi;
        } else {
            return false;
        }
    }
    while (ti < m_tokens.size() && m_tokens[ti].kind == Kind::Any) ++ti;
    return ti == m_tokens.size();
}

QStringList Pattern::literalRuns() const {
    QStringList runs;
    std::u32string run;
    auto flush = [&] {
        if (!run.empty()) runs << QString::fromStdU32String(run);
        run.clear();
    };
    for (const Token& t : m_tokens) {
        if (t.kind == Kind::Char)
            run.push_back(t.ch);
        else
            flush();
    }
    flush();
    return runs;
}

std::optional<QStringList> Pattern::likeForms(qsizetype limit) const {
    QStringList forms{QString()};
    const auto appendToAll = [&forms](const QString& piece) {
        for (QString& f : forms) f += piece;
    };
    for (const Token& t : m_tokens) {
        if (t.kind == Kind::Any) {
            appendToAll(QStringLiteral("%"));
        } else if (t.kind == Kind::One) {
            appendToAll(QStringLiteral("_"));
        } else if (t.kind != Kind::Char) {
            return std::nullopt;
        } else {
            // LIKE folds ASCII letters only: every other spelling of the letter is a form of its own.
            QStringList alternatives;
            for (char32_t a : sameLetters(t.ch)) {
                if (a >= U'A' && a <= U'Z') a += U'a' - U'A';
                QString piece = QString::fromUcs4(&a, 1);
                if (a == U'%' || a == U'_' || a == U'\\') piece.prepend(QLatin1Char('\\'));
                if (!alternatives.contains(piece)) alternatives << piece;
            }
            if (forms.size() * alternatives.size() > limit) return std::nullopt;
            QStringList next;
            for (const QString& f : forms)
                for (const QString& a : alternatives) next << f + a;
            forms = std::move(next);
        }
    }
    return forms;
}

} // namespace olv::jet
