// The object store: text comparison and Like patterns as the original engine did them, values
// stored and found as typed, the shared lookups, identifiers, counting and writing.

#include "store/store.h"

#include <QTemporaryDir>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;

namespace {

// A clock the test moves; sleeping moves it on.
class FakeClock : public Clock {
public:
    QDateTime time;
    int sleptMs = 0;
    int sleeps = 0;
    explicit FakeClock(QDateTime t) : time(std::move(t)) {}
    QDateTime now() const override { return time; }
    void sleepMs(int ms) override {
        ++sleeps;
        sleptMs += ms;
        time = time.addMSecs(ms);
    }
};

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The text without its first and last character (whole characters, not UTF-16 halves).
QString inner(const QString& text) {
    const QList<uint> chars = text.toUcs4();
    return chars.size() < 3 ? QString() : QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.data()) + 1, chars.size() - 2);
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    int m_file = 0;

    Database db() { return Database(m_path); }
    void add(const QList<Row>& rows) { db().appendAll(rows); }
    void add(const QString& o, const QString& p, const QString& v) { db().append(o, p, v); }
    // Straight SQL on the file, past the store, for setting up what the store must cope with.
    void exec(const char* sql, const QStringList& params = {}) {
        SQLite::Database raw(m_path.toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Statement q(raw, sql);
        for (int i = 0; i < params.size(); ++i) q.bind(i + 1, params[i].toStdString());
        q.exec();
    }
    QStringList find(const QString& text, bool containing = false) {
        return db().findObjects(text, containing);
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("db%1.mdb").arg(++m_file));
        Store::createIfMissing(m_path);
    }

    // --- Comparison ignores letter case in every alphabet ---------------------------------

    void equalityIgnoresCaseInEveryAlphabet_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("searched");
        QTest::newRow("German") << u("ÄPFEL") << u("äpfel");
        QTest::newRow("German reversed") << u("äpfel") << u("ÄPFEL");
        QTest::newRow("Cyrillic") << u("ПРИВЕТ МИР") << u("привет мир");
        QTest::newRow("Greek final sigma") << u("ΟΔΟΣ") << u("οδος");
        QTest::newRow("Greek accents") << u("Ωμέγα") << u("ΩΜΈΓΑ");
        QTest::newRow("Georgian") << u("ᲛᲐᲠᲘᲐᲛ") << u("მარიამ");
        QTest::newRow("Cherokee") << u("ꮳꮃꭹ") << u("ᏣᎳᎩ");
        QTest::newRow("Osage") << u("\U000104D8\U000104D9\U000104DA\U000104DB") << u("\U000104B0\U000104B1\U000104B2\U000104B3");
        QTest::newRow("Kelvin sign") << u("\u212Aelvin") << u("kelvin");
        QTest::newRow("long s") << u("\u017Fun") << u("SUN");
        QTest::newRow("four thetas") << u("\u03D1\u03F4\u0398\u03B8") << u("θθθθ");
        QTest::newRow("mixed scripts") << u("Äb Ωx Жz") << u("äB ωX жZ");
        QTest::newRow("two letters") << u("Äß") << u("äß");
        QTest::newRow("one letter") << u("Ж") << u("ж");
    }
    void equalityIgnoresCaseInEveryAlphabet() {
        QFETCH(QString, stored);
        QFETCH(QString, searched);
        add({{"OlObjNoise", kName, "noise"}, {"OlObjA", kName, stored}});
        QCOMPARE(find(searched), QStringList{"OlObjA"});
        QCOMPARE(find(searched, true), QStringList{"OlObjA"});
        // A piece from the middle, in the searched spelling, is found by containment.
        if (!inner(searched).isEmpty()) QCOMPARE(find(inner(searched), true), QStringList{"OlObjA"});
        QCOMPARE(db().FindClassId(searched), kNotAvailable);
        add({{"OlObjC", kTOO, kClassValue}, {"OlObjC", kName, stored}});
        QCOMPARE(db().FindClassId(searched), QStringLiteral("OlObjC"));
    }

    void differentLettersStayDifferent() {
        add({{"OlObjA", kName, u("äpfel")}, {"OlObjB", kName, u("straße")}, {"OlObjC", kName, "red "}});
        QCOMPARE(find("apfel"), QStringList{});          // accents are not case
        QCOMPARE(find("strasse"), QStringList{});        // nor is ß a pair of s
        QCOMPARE(find("red"), QStringList{});            // trailing blank counts
        QCOMPARE(find(u("ÄPFE")), QStringList{});        // exact is whole value
        QCOMPARE(find(u("STRAẞE")), QStringList{"OlObjB"}); // capital sharp s is its upper case
    }

    // --- The Like pattern language ---------------------------------------------------------

    void likePatterns_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("* any run") << "abcdef" << "ab*ef" << true;
        QTest::newRow("* empty run") << "abef" << "ab*ef" << true;
        QTest::newRow("* case") << "ABXYZEF" << "ab*ef" << true;
        QTest::newRow("* order matters") << "efab" << "ab*ef" << false;
        QTest::newRow("? one") << "cat" << "c?t" << true;
        QTest::newRow("? not none") << "ct" << "c?t" << false;
        QTest::newRow("? non-ASCII") << u("cät") << "c?t" << true;
        QTest::newRow("# digit") << "R22" << "R2#" << true;
        QTest::newRow("# not letter") << "R2D2" << "R2#" << false;
        QTest::newRow("[abc]") << "GRAY" << "gr[ae]y" << true;
        QTest::newRow("[abc] other") << "groy" << "gr[ae]y" << false;
        QTest::newRow("[a-z]") << "bat" << "[a-c]at" << true;
        QTest::newRow("[a-z] outside") << "rat" << "[a-c]at" << false;
        QTest::newRow("[A-Z] ignores case") << "bat" << "[A-C]at" << true;
        QTest::newRow("[0-9]") << "x7y" << "x[0-9]y" << true;
        QTest::newRow("[!abc]") << "rat" << "[!b]at" << true;
        QTest::newRow("[!abc] excluded") << "bat" << "[!b]at" << false;
        QTest::newRow("[!abc] ignores case") << "Bat" << "[!b]at" << false;
        QTest::newRow("[!a-z]") << "1at" << "[!a-z]at" << true;
        QTest::newRow("[*] literal") << "5*3" << "5[*]3" << true;
        QTest::newRow("[*] not wildcard") << "523" << "5[*]3" << false;
        QTest::newRow("[?] literal") << "why?" << "why[?]" << true;
        QTest::newRow("[?] not wildcard") << "whyy" << "why[?]" << false;
        QTest::newRow("[#] literal") << "#1" << "[#]1" << true;
        QTest::newRow("[#] not digit") << "21" << "[#]1" << false;
        QTest::newRow("[[] literal") << "[x]" << "[[]x]" << true;
        QTest::newRow("[[] needs bracket") << "x]" << "[[]x]" << false;
        QTest::newRow("run of [*]") << "a***b" << "[*][*][*]" << true;
        QTest::newRow("run of [*] too short") << "a**b" << "[*][*][*]" << false;
        QTest::newRow("non-ASCII pattern") << u("ÄPFEL") << u("ä?fel") << true;
        QTest::newRow("set of non-ASCII") << u("ΟΔΟΣ") << u("οδο[σς]") << true;
        QTest::newRow("long literal run") << "QUANTUM mechanics" << "qu[ae]ntum mech" << true;
        QTest::newRow("long literal run mismatch") << "QUANTUM mechanism" << "ntum mechanics" << false;
        QTest::newRow("double quote") << "He said \"hi there\"" << "\"hi th" << true;
        QTest::newRow("SQL words") << "x OR NOT y" << "OR NOT" << true;
        QTest::newRow("SQL % is plain") << "abc" << "a%c" << false;
        QTest::newRow("SQL % itself") << "a%c" << "a%c" << true;
        QTest::newRow("SQL _ is plain") << "abc" << "a_c" << false;
        QTest::newRow("SQL % short") << "abc" << "%" << false;
        QTest::newRow("SQL % short itself") << "5%" << "%" << true;
        QTest::newRow("SQL _ short") << "ab" << "b_" << false;
        QTest::newRow("backslash short") << "a\\b" << "\\" << true;
        QTest::newRow("short with long s") << u("X\u017Fu") << "SU" << true;
        QTest::newRow("short Cyrillic") << u("ЖУК") << u("жу") << true;
        QTest::newRow("GLOB ^ is plain") << "b" << "[^a]" << false;
        QTest::newRow("GLOB ^ itself") << "^" << "[^a]" << true;
    }
    void likePatterns() {
        QFETCH(QString, value);
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        add({{"OlObjNoise", kName, "zzz"}, {"OlObjA", "p", value}});
        QCOMPARE(find(pattern, true), found ? QStringList{"OlObjA"} : QStringList{});
    }

    void unclosedBracketIsAPatternErrorNotACrash_data() {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("alone") << "[";
        QTest::newRow("after text") << "ab[";
        QTest::newRow("open set") << "[abc";
        QTest::newRow("negated") << "x[!a";
        QTest::newRow("long") << "something long [enough";
    }
    void unclosedBracketIsAPatternErrorNotACrash() {
        QFETCH(QString, pattern);
        add("OlObjA", kName, pattern);
        Database d = db();
        QVERIFY_THROWS_EXCEPTION(PatternError, d.findObjects(pattern, true));
        // The same text searched exactly is an ordinary value, and the connection is still fine.
        QCOMPARE(d.findObjects(pattern, false), QStringList{"OlObjA"});
    }

    // --- Values are stored and found exactly as typed --------------------------------------

    void valuesAreStoredAndFoundAsTyped_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("apostrophe") << "Robert's coins";
        QTest::newRow("quotes") << "O'Brien said \"yes\" ''";
        QTest::newRow("brackets") << "[DATA]";
        QTest::newRow("injection") << "'; DROP TABLE DATA; --";
        QTest::newRow("SQL") << "SELECT * FROM DATA WHERE V = 'x'";
        QTest::newRow("SQL wildcards") << "100% a_b";
        QTest::newRow("backslash") << "C:\\Olv\\Olv.mdb";
        QTest::newRow("NULL word") << "NULL";
        QTest::newRow("FTS syntax") << "NEAR(a b) AND c*";
        QTest::newRow("newline") << "line one\nline two";
        QTest::newRow("emoji") << u("café ☕ 😀");
        QTest::newRow("empty") << "";
    }
    void valuesAreStoredAndFoundAsTyped() {
        QFETCH(QString, value);
        add({{"OlObjA", kName, "a"}, {"OlObjA", "note", value}});
        QCOMPARE(db().rowsOf("OlObjA"), (QList<Row>{{"OlObjA", kName, "a"}, {"OlObjA", "note", value}}));
        QCOMPARE(db().GetPropertyValue("OlObjA", "note"), value);
        QCOMPARE(find(value), QStringList{"OlObjA"});
        // Values used as property names and identifiers are kept as typed too.
        add(value + "id", value, "x");
        QCOMPARE(db().rowsOf(value + "id"), (QList<Row>{{value + "id", value, "x"}}));
    }

    // --- Exact and containing search ------------------------------------------------------

    void exactMatchesWholeValuesContainingMatchesParts() {
        add({{"OlObjA", kName, "Red"}, {"OlObjB", kName, "Redwood"}, {"OlObjC", kName, "bored"},
             {"OlObjD", kName, "re"}});
        QCOMPARE(find("red"), QStringList{"OlObjA"});
        QCOMPARE(find("RED"), QStringList{"OlObjA"});
        QCOMPARE(find("re"), QStringList{"OlObjD"});
        QCOMPARE(find("e", true), (QStringList{"OlObjA", "OlObjB", "OlObjC", "OlObjD"}));
        QCOMPARE(find("ed", true), (QStringList{"OlObjA", "OlObjB", "OlObjC"}));
        QCOMPARE(find("reD", true), (QStringList{"OlObjA", "OlObjB", "OlObjC"}));
        QCOMPARE(find("redw", true), QStringList{"OlObjB"});
        QCOMPARE(find("", true), (QStringList{"OlObjA", "OlObjB", "OlObjC", "OlObjD"}));
        QCOMPARE(find("nothing"), QStringList{});
        QCOMPARE(find("nothing", true), QStringList{});
    }

    void onlyValuesAreSearchedNotNames() {
        add({{"OlObjA", "colour", "blue"}, {"OlObjB", kName, "colour"}});
        QCOMPARE(find("colour"), QStringList{"OlObjB"});
        QCOMPARE(find("olo", true), QStringList{"OlObjB"});
    }

    void longValuesAreFoundWholeAndInPart() {
        QString big;
        for (int i = 0; i < 400; ++i) big += QStringLiteral("word%1 ").arg(i);
        const QString greek = u("Αλφα βήτα ") + big.toUpper();
        add({{"OlObjA", "text", big}, {"OlObjB", "text", greek}, {"OlObjC", "text", big.chopped(1)}});
        QCOMPARE(find(big.toUpper()), QStringList{"OlObjA"});
        QCOMPARE(find(u("ΑΛΦΑ ΒΉΤΑ ") + big), QStringList{"OlObjB"});
        QCOMPARE(find(big.mid(1000, 500), true), (QStringList{"OlObjA", "OlObjB", "OlObjC"}));
        QCOMPARE(find(u("φα βή*word399 "), true), QStringList{"OlObjB"});
        QCOMPARE(find("word12 word13 word14 wordX", true), QStringList{});
    }

    void resultsComeInFirstStoredOrderEachObjectOnce() {
        add({{"OlObjB", "p", "hit"}, {"OlObjA", "p", "other"}, {"OlObjA", "q", "HIT"},
             {"OlObjB", "q", "Hit"}, {"OlObjC", "p", "hit"}, {"OLOBJB", "p", "hit"},
             {"OlObjA", "r", "hit"}});
        // Identifiers that differ in letter case are one object, as for the original engine.
        QCOMPARE(find("hit"), (QStringList{"OlObjB", "OlObjA", "OlObjC"}));
        QCOMPARE(find("hi", true), (QStringList{"OlObjB", "OlObjA", "OlObjC"}));
        QCOMPARE(find("it", true), (QStringList{"OlObjB", "OlObjA", "OlObjC"}));
    }

    void identifiersAreFoundAsValues() {
        add({{"OlObj20020103125322", kTOO, kClassValue}, {"OlObj20020103125322", kName, "Lamp"},
             {"OlObj20020103125323", kTOO, "OlObj20020103125322"},
             {"OlObj20020103125324", kBelongsTo, "olobj20020103125322"},
             {"OlObj20020103125325", kTOO, "OlObj200201031253220"}});
        QCOMPARE(find("OlObj20020103125322"),
                 (QStringList{"OlObj20020103125323", "OlObj20020103125324"}));
    }

    // --- Rows and property values ----------------------------------------------------------

    void rowsOfAnObjectComeInStoredOrderWhateverTheCaseOfItsIdentifier() {
        add({{"OlObjA", "a", "1"}, {"OlObjB", "a", "x"}, {"OLOBJA", "b", "2"}, {"olobja", "c", "3"}});
        const QList<Row> rows{{"OlObjA", "a", "1"}, {"OLOBJA", "b", "2"}, {"olobja", "c", "3"}};
        QCOMPARE(db().rowsOf("OlObjA"), rows);
        QCOMPARE(db().rowsOf("OLOBJA"), rows);
        add({{u("ОбъектÄ"), "a", "1"}, {u("объектä"), "b", "2"}, {u("\u212Aey"), "c", "3"}});
        QCOMPARE(db().rowsOf(u("ОБЪЕКТä")).size(), 2);
        QCOMPARE(db().rowsOf("KEY").size(), 1);
        add(u("ДлинныйИдентификатор"), "a", "1");
        QCOMPARE(db().rowsOf(u("ДЛИННЫЙидентификатор")).size(), 1);
        QVERIFY(db().rowsOf("nobody").isEmpty());
    }

    void getPropertyValueGivesTheFirstRowOrNA() {
        add({{"OlObjA", "img", "/a.jpg"}, {"OlObjA", kName, "first"}, {"OlObjA", "IMG", "/b.jpg"},
             {"OlObjA", kName, "second"}, {"OlObjA", "empty", ""}});
        QCOMPARE(db().GetPropertyValue("OlObjA", "img"), QStringLiteral("/a.jpg"));
        QCOMPARE(db().GetPropertyValue("OlObjA", "Img"), QStringLiteral("/a.jpg"));
        QCOMPARE(db().GetPropertyValue("olobja", kName), QStringLiteral("first"));
        QCOMPARE(db().GetPropertyValue("OlObjA", "missing"), kNotAvailable);
        QCOMPARE(db().GetPropertyValue("OlObjZ", kName), kNotAvailable);
        QCOMPARE(db().GetPropertyValue("OlObjA", "empty"), QString(""));
        QVERIFY(db().valueOf("OlObjA", "missing").isNull());
        QVERIFY(!db().valueOf("OlObjA", "empty").isNull());
        QCOMPARE(Store(m_path).GetPropertyValue("OlObjA", kName), QStringLiteral("first"));
        QCOMPARE(Store(m_path).GetPropertyValue("OlObjA", "nope"), kNotAvailable);
    }

    // --- FindClassId ------------------------------------------------------------------------

    void findClassIdFindsClassesOnly() {
        add({{"OlObjK", kTOO, kClassValue}, {"OlObjK", kName, "Thing"},
             {"OlObjLamp", kTOO, "OlObjK"}, {"OlObjLamp", kName, "Lamp"}});
        QCOMPARE(db().FindClassId("Lamp"), kNotAvailable); // a plain object is no class
        QCOMPARE(db().FindClassId("Thing"), QStringLiteral("OlObjK"));
        QCOMPARE(db().FindClassId("thing"), QStringLiteral("OlObjK"));
        QCOMPARE(db().FindClassId("THING"), QStringLiteral("OlObjK"));
        QCOMPARE(db().FindClassId("Thin"), kNotAvailable);
        QCOMPARE(db().FindClassId(""), kNotAvailable);
        QCOMPARE(Store(m_path).FindClassId("thing"), QStringLiteral("OlObjK"));
        // A class made later with the name of the plain object is found in its place.
        add({{"OlObjL", kName, "Lamp"}, {"OlObjL", kTOO, kClassValue}});
        QCOMPARE(db().FindClassId("lamp"), QStringLiteral("OlObjL"));
    }

    void findClassIdWithTwoClassesOfOneNameGivesOneOfThem() {
        add({{"OlObj1", kTOO, kClassValue}, {"OlObj1", kName, "URL"},
             {"OlObj2", kTOO, kClassValue}, {"OlObj2", kName, "url"}});
        const QString id = db().FindClassId("Url");
        QVERIFY2(id == "OlObj1" || id == "OlObj2", qPrintable(id));
        QCOMPARE(db().classNames().size(), 1);
    }

    void findClassIdWithAwkwardNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophe") << "Robert's coins";
        QTest::newRow("one letter") << "X";
        QTest::newRow("two letters") << u("Äb");
        QTest::newRow("pattern characters") << "[a-z]*?#";
        QTest::newRow("Greek") << u("Κλάση");
    }
    void findClassIdWithAwkwardNames() {
        QFETCH(QString, name);
        add({{"OlObjC", kName, name}, {"OlObjC", "tOo", u("olvalCLASS")}});
        QCOMPARE(db().FindClassId(name.toUpper()), QStringLiteral("OlObjC"));
        QCOMPARE(db().FindClassId(name + "x"), kNotAvailable);
    }

    void classNamesAreListedOnceInTextOrder() {
        add({{"OlObj1", kTOO, kClassValue}, {"OlObj1", kName, "beta"},
             {"OlObj2", kTOO, kClassValue}, {"OlObj2", kName, "Alpha"},
             {"OlObj3", kTOO, kClassValue}, {"OlObj3", kName, "BETA"},
             {"OlObj4", kTOO, "OlObj1"}, {"OlObj4", kName, "not a class"},
             {"OlObj5", kTOO, kClassValue}, {"OlObj5", kName, u("Ärger")}});
        QCOMPARE(db().classNames(), (QStringList{"Alpha", "beta", u("Ärger")}));
    }

    // --- Identifiers ------------------------------------------------------------------------

    void newObjectIdIsPrefixAndFourteenDigits_data() {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("id");
        QTest::newRow("design example") << QDateTime(QDate(2002, 1, 3), QTime(12, 53, 22))
                                        << "OlObj20020103125322";
        QTest::newRow("zero padding") << QDateTime(QDate(2024, 3, 1), QTime(9, 5, 7, 999))
                                      << "OlObj20240301090507";
        QTest::newRow("midnight") << QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0)) << "OlObj19991231000000";
        QTest::newRow("evening") << QDateTime(QDate(2010, 10, 10), QTime(23, 59, 59)) << "OlObj20101010235959";
    }
    void newObjectIdIsPrefixAndFourteenDigits() {
        QFETCH(QDateTime, time);
        QFETCH(QString, id);
        FakeClock clock(time);
        const QString made = db().NewObjectId(clock);
        QCOMPARE(made, id);
        QCOMPARE(made.size(), 19);
        QCOMPARE(clock.sleeps, 0); // a free second is used at once
        QVERIFY(isObjectId(made));
    }

    void newObjectIdWaitsForTheNextSecondWhenTaken() {
        FakeClock clock(QDateTime(QDate(2002, 1, 3), QTime(12, 53, 22, 100)));
        Database d = db();
        const QString first = d.NewObjectId(clock);
        d.append(first, kName, "first");
        const QString second = d.NewObjectId(clock);
        QCOMPARE(first, QStringLiteral("OlObj20020103125322"));
        QCOMPARE(second, QStringLiteral("OlObj20020103125323"));
        QVERIFY(clock.sleeps >= 1);
        QVERIFY2(clock.sleptMs >= 900 && clock.sleptMs <= 1000, qPrintable(QString::number(clock.sleptMs)));
        QCOMPARE(second.size(), 19);
    }

    void newObjectIdSkipsEverySecondTakenInAnyLetterCase() {
        add({{"OLOBJ20020103125959", "p", "v"}, {"olobj20020103130000", "p", "v"}});
        FakeClock clock(QDateTime(QDate(2002, 1, 3), QTime(12, 59, 59, 0)));
        QCOMPARE(db().NewObjectId(clock), QStringLiteral("OlObj20020103130001"));
        QCOMPARE(clock.time.time().second(), 1);
        QVERIFY(clock.sleeps >= 2);
    }

    void newObjectIdNeverHandsOutAnUncheckedIdentifier() {
        Database d = db();
        exec("DROP TABLE DATA"); // the check inside the loop now fails
        FakeClock clock(QDateTime(QDate(2002, 1, 3), QTime(12, 53, 22)));
        QVERIFY_THROWS_EXCEPTION(StoreError, d.NewObjectId(clock));
    }

    // --- Counting ---------------------------------------------------------------------------

    void countObjectsCountsEachObjectOnce() {
        QCOMPARE(db().countObjects(), 0);
        add({{"OlObjK", kTOO, kClassValue}, {"OlObjK", kName, "Thing"}});
        QCOMPARE(db().countObjects(), 1); // a class is an object too
        add({{"OlObjA", kTOO, "OlObjK"}, {"OlObjA", kName, "a"}, {"OlObjA", "x", "1"}});
        QCOMPARE(db().countObjects(), 2);
        add({{"OLOBJA", "y", "2"}, {"olobjk", "z", "3"}}); // same objects in other letter case
        QCOMPARE(db().countObjects(), 2);
        add({{u("ÄÖ1"), "p", "v"}, {u("äö1"), "p", "v"}, {u("Жук"), "p", "v"}, {u("жук"), "p", "v"}});
        QCOMPARE(db().countObjects(), 4);
        add({{"as", "p", "v"}, {u("a\u017F"), "p", "v"}, {"kilo", "p", "v"}, {u("\u212Ailo"), "p", "v"}});
        QCOMPARE(db().countObjects(), 6);
        add({{u("Äb1"), "p", "v"}, {u("ÄB1"), "p", "v"}, {u("äB1"), "p", "v"}, {u("äb2"), "p", "v"}});
        QCOMPARE(db().countObjects(), 8);
    }

    // --- Deleting and writing ---------------------------------------------------------------

    void anObjectWhoseRowsAreAllDeletedIsGone() {
        add({{"OlObjK", kTOO, kClassValue}, {"OlObjK", kName, "Vanishing class"},
             {"OlObjA", kName, "Robert's coins"}, {"OlObjA", "colour", "Gone"},
             {"OlObjB", "colour", "gone"}});
        QCOMPARE(db().countObjects(), 3);
        exec("DELETE FROM DATA WHERE O = ?", {"OlObjA"});
        exec("DELETE FROM DATA WHERE O = ?", {"OlObjK"});
        QCOMPARE(find("gone"), QStringList{"OlObjB"});
        QCOMPARE(find("one", true), QStringList{"OlObjB"});
        QCOMPARE(find("Robert's coins"), QStringList{});
        QCOMPARE(find("'s co", true), QStringList{});
        QCOMPARE(db().countObjects(), 1);
        QVERIFY(db().rowsOf("OlObjA").isEmpty());
        QCOMPARE(db().GetPropertyValue("OlObjA", kName), kNotAvailable);
        QCOMPARE(db().FindClassId("vanishing class"), kNotAvailable);
        QVERIFY(db().classNames().isEmpty());
    }

    void aChangedValueIsFoundByItsNewTextOnly() {
        add({{"OlObjA", "colour", "Crimson"}});
        exec("UPDATE DATA SET V = 'Turquoise' WHERE O = 'OlObjA'");
        QCOMPARE(find("crimson"), QStringList{});
        QCOMPARE(find("rims", true), QStringList{});
        QCOMPARE(find("turquoise"), QStringList{"OlObjA"});
        QCOMPARE(find("quoi", true), QStringList{"OlObjA"});
    }

    void appendKeepsRowsInOrder() {
        Database d = db();
        d.append("OlObjA", kName, "one");
        d.append("OlObjA", "x", "two");
        d.appendAll({{"OlObjA", "y", "three"}, {"OlObjB", kName, "four"}});
        QCOMPARE(d.rowsOf("OlObjA"),
                 (QList<Row>{{"OlObjA", kName, "one"}, {"OlObjA", "x", "two"}, {"OlObjA", "y", "three"}}));
        QCOMPARE(d.findObjects("four", false), QStringList{"OlObjB"});
    }

    void appendAllIsAllOrNothing() {
        add("OlObjOld", kName, "kept");
        // The engine refuses the second row; the first must not stay behind.
        exec("CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.V = 'refused' "
             "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        Database d = db();
        QVERIFY_THROWS_EXCEPTION(StoreError, d.appendAll({{"OlObjNew", kName, "clone"},
                                                           {"OlObjNew", "x", "refused"},
                                                           {"OlObjNew", "y", "after"}}));
        QVERIFY(d.rowsOf("OlObjNew").isEmpty());
        QCOMPARE(d.findObjects("clone", false), QStringList{});
        QCOMPARE(d.countObjects(), 1);
        // The same connection goes on working afterwards.
        d.appendAll({{"OlObjNew", kName, "clone"}});
        QCOMPARE(d.findObjects("clone", false), QStringList{"OlObjNew"});
        QCOMPARE(db().rowsOf("OlObjOld"), (QList<Row>{{"OlObjOld", kName, "kept"}}));
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store.moc"
