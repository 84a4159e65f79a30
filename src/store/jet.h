#pragma once
// Text semantics of the original database engine: comparisons that ignore letter case in every
// alphabet, and its Like pattern language.

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace olv::jet {

// Case-folded form used for every comparison ("ÄPFEL" and "äpfel" fold alike).
QString fold(const QString& text);
bool equal(const QString& a, const QString& b);
// Case-insensitive text order, ties broken by the exact text so the order is total.
bool less(const QString& a, const QString& b);
// Every character that compares equal to c, c itself first ("k" gives "kK" and the Kelvin sign).
std::u32string sameLetters(char32_t c);

class PatternError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A compiled Like pattern: * any run, ? one character, # one digit, [abc], [a-z], [!abc];
// [*], [?], [#] and [[] stand for the character itself.
class Pattern {
public:
    // Throws PatternError for a pattern the engine would reject, such as an unclosed "[".
    explicit Pattern(const QString& pattern);
    bool matches(const QString& value) const;
    // Runs of plain characters that every match must contain, folded; used to narrow a search
    // through the trigram index before each candidate is checked with matches().
    QStringList literalRuns() const;
    // SQL LIKE patterns (escaped with '\\') that between them match exactly the values this
    // pattern matches, given that LIKE folds ASCII letters itself; none when that would take more
    // than limit patterns or the pattern holds "#" or a character list.
    std::optional<QStringList> likeForms(qsizetype limit) const;

private:
    enum class Kind { Any, One, Digit, Char, Set };
    struct Token {
        Kind kind;
        char32_t ch = 0;
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges = {};
    };
    bool tokenMatches(const Token& t, char32_t c) const;
    std::vector<Token> m_tokens;
};

} // namespace olv::jet
