#include "charset.h"

#include <QHash>
#include <QStringDecoder>
#include <QSysInfo>
#include <array>
#include <bitset>
#include <cerrno>
#include <iconv.h>
#include <optional>

namespace olv {

namespace {

const QByteArray kUtf8 = QByteArrayLiteral("UTF-8");
const QByteArray kUtf16LE = QByteArrayLiteral("UTF-16LE");
const QByteArray kUtf16BE = QByteArrayLiteral("UTF-16BE");
const QByteArray kWindows1252 = QByteArrayLiteral("windows-1252");

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it leaves undefined keep
// their C1 code points, as browsers do.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(windows1252(static_cast<unsigned char>(bytes[i])));
    return text;
}

// Labels as browsers know them, by the name iconv (or our own decoder) knows the encoding by.
// Where browsers read a label as a larger encoding, so do we: Latin-1 and ASCII as
// Windows-1252, GB2312 as GB18030, EUC-KR as its Windows form, Big5 with the Hong Kong set.
struct Labels {
    const char* encoding;
    const char* labels; // separated by blanks
};
constexpr Labels kLabels[] = {
    {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {"UTF-16BE", "unicodefffe utf-16be"},
    {"windows-1252", "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 "
                     "iso-ir-100 iso8859-1 iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 "
                     "us-ascii windows-1252 x-cp1252 x-user-defined"},
    {"IBM866", "866 cp866 csibm866 ibm866"},
    {"ISO-8859-2", "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 "
                   "iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3", "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 "
                   "iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4", "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 "
                   "iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5", "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 "
                   "iso_8859-5 iso_8859-5:1988"},
    {"ISO-8859-6", "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 "
                   "iso-8859-6 iso-8859-6-e iso-8859-6-i iso-ir-127 iso8859-6 iso88596 "
                   "iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7", "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 "
                   "iso8859-7 iso88597 iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-8", "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 "
                   "iso8859-8 iso88598 iso_8859-8 iso_8859-8:1988 visual csiso88598i "
                   "iso-8859-8-i logical"},
    {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "iso-8859-16"},
    {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-U", "koi8-ru koi8-u"},
    {"MACINTOSH", "csmacintosh mac macintosh x-mac-roman"},
    {"MAC-CYRILLIC", "x-mac-cyrillic x-mac-ukrainian"},
    {"CP874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"CP1250", "cp1250 windows-1250 x-cp1250"},
    {"CP1251", "cp1251 windows-1251 x-cp1251"},
    {"CP1253", "cp1253 windows-1253 x-cp1253"},
    {"CP1254", "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 "
               "iso_8859-9:1989 l5 latin5 windows-1254 x-cp1254"},
    {"CP1255", "cp1255 windows-1255 x-cp1255"},
    {"CP1256", "cp1256 windows-1256 x-cp1256"},
    {"CP1257", "cp1257 windows-1257 x-cp1257"},
    {"CP1258", "cp1258 windows-1258 x-cp1258"},
    {"GB18030", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 "
                "x-gbk gb18030"},
    {"BIG5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {"CP932", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"CP949", "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 "
              "ksc5601 ksc_5601 windows-949"},
};

bool isSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char toLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The bytes as text through iconv, every byte that starts no character replaced by U+FFFD
// and counted. Nothing when iconv does not know the encoding.
struct Decoded {
    QString text;
    qsizetype errors = 0;
};
std::optional<Decoded> iconvDecode(QByteArrayView bytes, const char* encoding) {
    const char* utf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
    const iconv_t cd = iconv_open(utf16, encoding);
    if (cd == iconv_t(-1)) return std::nullopt;
    Decoded result;
    QString& text = result.text;
    text.resize(bytes.size() + 16);
    qsizetype written = 0;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    const auto convert = [&](char** from, size_t* fromLeft) {
        char* out = reinterpret_cast<char*>(text.data() + written);
        size_t outLeft = size_t(text.size() - written) * sizeof(char16_t);
        const size_t r = iconv(cd, from, fromLeft, &out, &outLeft);
        const int error = r == size_t(-1) ? errno : 0;
        written = text.size() - qsizetype(outLeft / sizeof(char16_t));
        return error;
    };
    const auto makeRoom = [&] {
        if (text.size() - written < 16) text.resize(text.size() * 2 + 16);
    };
    for (;;) {
        const int error = convert(&in, &inLeft);
        if (error == E2BIG) {
            text.resize(text.size() * 2 + 16);
        } else if (error == EILSEQ) {
            // Skip one byte and go on, so that one bad byte costs one character.
            makeRoom();
            text[written++] = QChar::ReplacementCharacter;
            ++result.errors;
            ++in;
            --inLeft;
        } else {
            break; // all read, or EINVAL: a sequence cut off at the end, which is dropped
        }
    }
    // A stateful decoder may still hold a character back.
    makeRoom();
    while (convert(nullptr, nullptr) == E2BIG)
        text.resize(text.size() * 2 + 16);
    iconv_close(cd);
    text.truncate(written);
    return result;
}

bool isUtf8(QByteArrayView bytes) {
    // Stateful, so that a sequence cut off at the end is held back rather than counted as wrong.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes); // the decoding runs only when it becomes a string
    return !utf8.hasError();
}

// Characters that make up much of ordinary text, Chinese (simplified and traditional) and
// Japanese kanji, and Korean syllables. Wrongly decoded bytes land on them only by chance.
constexpr char16_t kFrequentHan[] =
    u"的一是不了在人有我他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下自之"
    u"年过发后作里用道行所然家种事成方多经么去法学如都同现当没动面起看定天分还进好小部其些主样"
    u"理心她本前开但因只从想实日军者意无力它与长把机十民第公此已工使情明性知全三又关点正业外将"
    u"两高间由问很最重并物手应战向头文体政美相见被利什二等产或新己制身果加西斯月话合回特代内信"
    u"表化老给世位次度门任常先海通教儿原东声提立及比员解水名真论处走义各入几口认条平系气题活尔"
    u"更别打女变四神总何电数安少报才结反受目太量再感建务做接必场件计管期市直德资命山金指克许统"
    u"区保至队形社便空决治展马科司五基眼书非则听白却界达光放强即像难且权思王象完设式色路记南品"
    u"住告类求据程北边死张该交规万取拉格望觉术领共确传师观清今切院让识候带导争运笑飞风步改收根"
    u"干造言联持组每济车亲极林服快办议往元英士证近失转夫令准布始怎呢存未远叫台单影具罗字爱击流"
    u"备兵连调深商算质团集百需价花党华城石级整府离况亚请技际约示复病息究线似官火断精满支视消越"
    u"器容照须九增研写称企八功吗包片史委乎查轻易早曾除农找装广显吧阿李标谈吃图念六引历首医局突"
    u"专费号尽另周较注语仅考落青随选列武红响虽推势参希古众构房半节土投某案黑维革划敌致陈律足态"
    u"护七兴派孩验责营星够章音跟志底站严巴例防族供效续施留讲型料终答紧黄绝奇察母京段依批群项故"
    u"按河米围江织害斗双境客纪采举杀攻父苏密低朝友诉止细愿千值仍男钱破网热助倒育属坐帝限船脸职"
    u"速刻乐否刚威毛状率甚独球般普怕弹校苦创假久错承印晚兰试股拿脑预谁益阳若哪微尼继送急血惊伤"
    u"素药适波夜省初喜卫源食险待述陆习置居劳财环排福纳欢雷警获模充负云停木游龙树疑层冷洲冲射略"
    u"范竟句室异激汉村哈策演简卡罪判担州静退既衣您宗积余痛检差富灵协角占配征修皮挥胜降阶审沉坚"
    u"善妈刘读啊超免压银买皇养伊怀执副乱抗犯追帮宣佛岁航优怪香著田铁控税左右份穿艺背阵草脚概恶"
    u"块顿敢守酒岛托央户烈洋哥索胡款靠评版宝座释景顾弟登货互付伯慢欧换闻危忙核暗姐介坏讨丽良序"
    u"升监临亮露永呼味野架域沙掉括舰鱼杂误湾吉减编楚肯测败屋跑梦散温困剑渐封救贵枪缺楼县尚毫移"
    u"娘朋画班智亦耳恩短掌恐遗固席松秘谢鲁遇康虑幸均销钟诗藏赶剧票损忽巨炮旧端探湖录叶春乡附吸"
    u"予礼港雨呀板庭妇归睛饭额含顺输摇招婚脱补谓督毒油疗旅泽材灭逐莫笔亡鲜词圣择寻厂睡博勒烟授"
    u"诺伦岸奥唐卖俄炸载洛健堂旁宫喝借君禁阴园谋宋避抓荣姑孙逃牙束跳顶玉镇雪午练迫爷篇肉嘴馆遍"
    // The traditional forms of the commonest of them.
    u"這們來為國說時會對個發後過裡經麼學現當動還進從實軍與長機無應戰頭體開問間點業將兩變義氣關"
    u"題總電數報結師難東處邊記場運讓識話書見覺圖臺灣華產員歲於條門種樣寫讀聽買賣車馬魚鳥語認議"
    u"論設計調請謝證導層區醫藥飛雲龍鐵錢銀錄鐘陽陰陸隊際隨險雖雙雜離雞須領顏類顯願養館黨齊網頁"
    u"費們號資訊號為親歡愛樂術傳統響務營專業權選舉廣級單達連線務團轉辦極視鄉區標準備檢測護經濟"
    // Kanji as Japanese writes them.
    u"円駅様気図広売県関続楽辺払検済鉄転団権総対単戦営応帰断歴両乗仏価働区伝写択撃争私京都駅";

constexpr char16_t kFrequentHangul[] =
    u"이다는의에하고을를가지한서로기니리사도자대수일으어인시아해정나있게라들과요적우주부거전상보"
    u"장면것여제구습성마국동만원소신진공재세오무경학생비안각발중관방년연화내개문위선미까었했후모"
    u"트스드터러및회분실결간물식교단히저계금유영청건통음본던된될할합함않없같말되그때더또좀왜네너"
    u"은운용양외월울날람름법산설속업예역점조족직체초치크태투특파편평포표품프피필행현형호활황희입"
    u"작잘져집차참처천최추출충취층친타택토판께했습니까요";

struct FrequentCharacters {
    std::bitset<0x10000> han, hangul;
    FrequentCharacters() {
        for (const char16_t c : kFrequentHan)
            han.set(c);
        for (const char16_t c : kFrequentHangul)
            hangul.set(c);
        han.reset(0);
        hangul.reset(0);
    }
};
const FrequentCharacters& frequent() {
    static const FrequentCharacters table;
    return table;
}

bool isKana(char16_t c) {
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC;
}

enum class Script { Japanese, Chinese, Korean };
struct Candidate {
    const char* encoding;
    Script script;
};
constexpr Candidate kMultiByte[] = {
    {"EUC-JP", Script::Japanese}, {"CP932", Script::Japanese},     {"GB18030", Script::Chinese},
    {"CP949", Script::Korean},    {"BIG5-HKSCS", Script::Chinese},
};

// How surely the text is in the script, from 0 up to 1: the share of its characters outside
// ASCII that the script's writing is mostly made of (kana and common kanji for Japanese, common
// hanzi for Chinese, common syllables for Korean). Punctuation counts neither way.
double plausibility(const Decoded& decoded, Script script) {
    const FrequentCharacters& f = frequent();
    qsizetype counted = 0, hits = 0, kana = 0;
    for (const QChar ch : decoded.text) {
        const char16_t c = ch.unicode();
        if (c < 0x80 || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E)) continue;
        ++counted;
        if (script == Script::Korean) {
            hits += f.hangul[c] ? 1 : 0;
        } else if (f.han[c]) {
            ++hits;
        } else if (script == Script::Japanese && isKana(c)) {
            ++hits;
            ++kana;
        }
    }
    // A stray bad byte is forgiven (pages get pasted together); more means the wrong code.
    if (hits < 2 || decoded.errors * 50 > counted) return 0;
    // Japanese is not written without kana.
    if (script == Script::Japanese && kana * 5 < counted) return 0;
    return double(hits) / double(counted);
}

// Russian letter frequencies per mille, from U+0430 (а) to U+044F (я).
constexpr std::array<int, 32> kRussianLetters = {80, 16, 45, 17,  30, 85, 9,  16, 74, 12, 35,
                                                 44, 32, 67, 110, 28, 47, 55, 63, 26, 3,  10,
                                                 5,  14, 7,  4,   1,  19, 17, 3,  6,  20};

// How much the text reads like Russian, from about 0 for letters drawn at random to about 1:
// every letter scores its frequency, and a capital straight after a small letter, which real
// words do not have, costs.
double russianPlausibility(const QString& text) {
    qsizetype score = 0, letters = 0;
    bool afterSmall = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        const bool capital = c >= 0x0410 && c <= 0x042F;
        const bool small = c >= 0x0430 && c <= 0x044F;
        if (capital) score += kRussianLetters[c - 0x0410] - (afterSmall ? 60 : 0);
        if (small) score += kRussianLetters[c - 0x0430];
        letters += capital || small ? 1 : 0;
        afterSmall = small;
    }
    if (letters == 0) return 0;
    // Letters at random average 31 per mille, Russian text about 58.
    return (double(score) / double(letters) - 31) / 27;
}

// Cyrillic text in a single-byte code page is made of runs of bytes from 0xC0 up, with few
// ASCII letters touching them; Western accents sit alone between ASCII letters.
bool looksCyrillic(QByteArrayView bytes) {
    qsizetype inRuns = 0, nextToAscii = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        const bool high = static_cast<unsigned char>(bytes[i]) >= 0xC0;
        const bool nextHigh = static_cast<unsigned char>(bytes[i + 1]) >= 0xC0;
        if (high && nextHigh)
            ++inRuns;
        else if ((high && isAsciiLetter(bytes[i + 1])) || (nextHigh && isAsciiLetter(bytes[i])))
            ++nextToAscii;
    }
    return inRuns >= 2 && inRuns > 2 * nextToAscii;
}

// Enough of a page to tell its encoding by; reading all of a large page would only take longer.
constexpr qsizetype kGuessBytes = 256 * 1024;

struct Attribute {
    QByteArray name, value;
};

// The next attribute of a tag from pos on, names and values in small letters; false at the
// end of the tag or of the data.
bool nextAttribute(QByteArrayView s, qsizetype& pos, Attribute& a) {
    a = {};
    while (pos < s.size() && (isSpaceByte(s[pos]) || s[pos] == '/'))
        ++pos;
    if (pos >= s.size() || s[pos] == '>') return false;
    bool hasValue = false;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (c == '=' && !a.name.isEmpty()) {
            ++pos;
            hasValue = true;
            break;
        }
        if (isSpaceByte(c)) break;
        if (c == '/' || c == '>') return true;
        a.name += toLowerAscii(c);
    }
    if (!hasValue) {
        while (pos < s.size() && isSpaceByte(s[pos]))
            ++pos;
        if (pos >= s.size()) return false;
        if (s[pos] != '=') return true; // a name without a value
        ++pos;
    }
    while (pos < s.size() && isSpaceByte(s[pos]))
        ++pos;
    if (pos >= s.size()) return false;
    if (s[pos] == '"' || s[pos] == '\'') {
        const char quote = s[pos++];
        for (; pos < s.size(); ++pos) {
            if (s[pos] == quote) {
                ++pos;
                return true;
            }
            a.value += toLowerAscii(s[pos]);
        }
        return false;
    }
    if (s[pos] == '>') return true;
    for (; pos < s.size() && !isSpaceByte(s[pos]) && s[pos] != '>'; ++pos)
        a.value += toLowerAscii(s[pos]);
    return pos < s.size();
}

bool startsWithAt(QByteArrayView s, qsizetype pos, QByteArrayView what) {
    if (s.size() - pos < what.size()) return false;
    for (qsizetype i = 0; i < what.size(); ++i)
        if (toLowerAscii(s[pos + i]) != what[i]) return false;
    return true;
}

// What one meta element declares, or nothing.
QByteArray metaEncoding(QByteArrayView s, qsizetype& pos) {
    QList<QByteArray> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<QByteArray> encoding; // empty inside: a label nobody knows
    Attribute a;
    while (nextAttribute(s, pos, a)) {
        if (seen.contains(a.name)) continue;
        seen.append(a.name);
        if (a.name == "http-equiv") {
            if (a.value == "content-type") gotPragma = true;
        } else if (a.name == "content") {
            if (!encoding) {
                const QByteArray found = encodingOfLabel(charsetOfContentType(a.value));
                if (!found.isEmpty()) {
                    encoding = found;
                    needPragma = true;
                }
            }
        } else if (a.name == "charset") {
            encoding = encodingOfLabel(a.value);
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma) || !encoding || encoding->isEmpty()) return {};
    // A page that could declare UTF-16 in ASCII bytes is not in UTF-16.
    if (*encoding == kUtf16LE || *encoding == kUtf16BE) return kUtf8;
    return *encoding;
}

} // namespace

char16_t windows1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char16_t(byte);
}

QByteArray encodingOfLabel(QByteArrayView label) {
    static const QHash<QByteArray, QByteArray> table = [] {
        QHash<QByteArray, QByteArray> t;
        for (const Labels& entry : kLabels)
            for (const QByteArray& l : QByteArray(entry.labels).split(' '))
                t.insert(l, entry.encoding);
        return t;
    }();
    return table.value(label.trimmed().toByteArray().toLower());
}

QByteArray charsetOfContentType(QByteArrayView value) {
    const QByteArray lower = value.toByteArray().toLower();
    for (qsizetype pos = lower.indexOf("charset"); pos >= 0; pos = lower.indexOf("charset", pos)) {
        pos += 7;
        while (pos < value.size() && isSpaceByte(value[pos]))
            ++pos;
        if (pos >= value.size() || value[pos] != '=') continue;
        ++pos;
        while (pos < value.size() && isSpaceByte(value[pos]))
            ++pos;
        if (pos >= value.size()) return {};
        const char quote = value[pos];
        if (quote == '"' || quote == '\'') {
            const qsizetype end = lower.indexOf(quote, pos + 1);
            return end < 0 ? QByteArray() : value.sliced(pos + 1, end - pos - 1).toByteArray();
        }
        qsizetype end = pos;
        while (end < value.size() && !isSpaceByte(value[end]) && value[end] != ';')
            ++end;
        return value.sliced(pos, end - pos).toByteArray();
    }
    return {};
}

QByteArray declaredEncoding(QByteArrayView page) {
    const QByteArrayView s = page.first(std::min<qsizetype>(page.size(), 1024));
    for (qsizetype pos = 0; pos < s.size(); ++pos) {
        if (s[pos] != '<') continue;
        if (startsWithAt(s, pos, "<!--")) {
            // "<!-->" closes itself: the dashes of the opening count for the closing.
            const qsizetype end = s.indexOf("-->", pos + 2);
            if (end < 0) return {};
            pos = end + 2;
        } else if (startsWithAt(s, pos, "<meta") && pos + 5 < s.size() &&
                   (isSpaceByte(s[pos + 5]) || s[pos + 5] == '/')) {
            pos += 6;
            const QByteArray encoding = metaEncoding(s, pos);
            if (!encoding.isEmpty()) return encoding;
        } else if (pos + 1 < s.size() &&
                   (isAsciiLetter(s[pos + 1]) ||
                    (s[pos + 1] == '/' && pos + 2 < s.size() && isAsciiLetter(s[pos + 2])))) {
            // Another tag: its attributes are passed over, so that a '>' in a value ends nothing.
            while (pos < s.size() && !isSpaceByte(s[pos]) && s[pos] != '>')
                ++pos;
            Attribute a;
            while (nextAttribute(s, pos, a)) {
            }
        } else if (startsWithAt(s, pos, "<!") || startsWithAt(s, pos, "</") ||
                   startsWithAt(s, pos, "<?")) {
            pos = s.indexOf('>', pos + 2);
            if (pos < 0) return {};
        }
    }
    return {};
}

QByteArray guessedEncoding(QByteArrayView page) {
    const QByteArrayView sample = page.first(std::min(page.size(), kGuessBytes));
    QByteArray best = kWindows1252;
    double bestPlausibility = 0.4; // less convinces nobody
    const auto consider = [&](const char* encoding, double plausibility) {
        if (plausibility > bestPlausibility) {
            best = encoding;
            bestPlausibility = plausibility;
        }
    };
    for (const Candidate& candidate : kMultiByte) {
        if (const std::optional<Decoded> decoded = iconvDecode(sample, candidate.encoding))
            consider(candidate.encoding, plausibility(*decoded, candidate.script));
    }
    if (looksCyrillic(sample)) {
        for (const char* encoding : {"CP1251", "KOI8-R"}) {
            if (const std::optional<Decoded> decoded = iconvDecode(sample, encoding))
                consider(encoding, russianPlausibility(decoded->text));
        }
    }
    return best;
}

QByteArray pageEncoding(QByteArrayView page, QByteArrayView contentType) {
    if (page.startsWith("\xEF\xBB\xBF")) return kUtf8;
    if (page.startsWith("\xFF\xFE")) return kUtf16LE;
    if (page.startsWith("\xFE\xFF")) return kUtf16BE;
    QByteArray encoding = encodingOfLabel(charsetOfContentType(contentType));
    if (encoding.isEmpty()) encoding = declaredEncoding(page);
    if (encoding.isEmpty()) encoding = isUtf8(page) ? kUtf8 : guessedEncoding(page);
    return encoding;
}

QString decodeAs(QByteArrayView bytes, const QByteArray& encoding) {
    if (encoding == kUtf8 || encoding == kUtf16LE || encoding == kUtf16BE) {
        // Stateful, so that a sequence cut off at the end is dropped rather than replaced.
        QStringDecoder decoder(encoding == kUtf8      ? QStringDecoder::Utf8
                               : encoding == kUtf16LE ? QStringDecoder::Utf16LE
                                                      : QStringDecoder::Utf16BE);
        return decoder.decode(bytes);
    }
    if (encoding != kWindows1252) {
        if (std::optional<Decoded> decoded = iconvDecode(bytes, encoding.constData()))
            return std::move(decoded->text);
    }
    return fromCp1252(bytes);
}

} // namespace olv
