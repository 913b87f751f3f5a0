#include "controls/StrCaps.h"

#include "platform/Clock.h"
#include "platform/FormatSettings.h"
#include "platform/Notice.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace {

// Italian articles, articulated prepositions, prepositions and conjunctions, elided forms included; sorted, so a
// word is looked up by binary search after a cheap length check.
constexpr std::array<std::string_view, 55> CongWords = {
    "a",     "agli",  "ai",   "al",    "all",   "alla",  "alle",  "allo",  "con",   "d",     "da",
    "dai",   "dal",   "dall", "dalla", "dalle", "dallo", "degli", "dei",   "del",   "dell",  "della",
    "delle", "dello", "di",   "e",     "ed",    "fra",   "fu",    "gli",   "i",     "il",    "in",
    "l",     "la",    "le",   "lo",    "ma",    "ne",    "nei",   "nel",   "nell",  "nella", "nelle",
    "nello", "pe",    "per",  "su",    "sui",   "sul",   "sull",  "sulla", "sulle", "sullo", "tra",
};
constexpr std::size_t LongestCongWord = 5;

bool IsAsciiLower(QChar c)
{
    return c >= u'a' && c <= u'z';
}

bool IsAsciiUpper(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

QChar ToAsciiUpper(QChar c)
{
    return IsAsciiLower(c) ? QChar(c.unicode() - u'a' + u'A') : c;
}

QChar ToAsciiLower(QChar c)
{
    return IsAsciiUpper(c) ? QChar(c.unicode() + u'a' - u'A') : c;
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A letter by Unicode; a surrogate half counts when the pair it belongs to is a letter, so letters beyond the
// basic plane do not split a word in two.
bool IsLetterAt(const QString &text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::isLetter(QChar::surrogateToUcs4(c, text[i + 1]));
    if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
        return QChar::isLetter(QChar::surrogateToUcs4(text[i - 1], c));
    return c.isLetter();
}

bool IsWordCharAt(const QString &text, qsizetype i)
{
    return text[i] == u'.' || IsLetterAt(text, i);
}

// A listed word in any ASCII case; words with other characters never match.
bool IsCongWord(const QString &text, qsizetype from, qsizetype to)
{
    const qsizetype length = to - from;
    if (length <= 0 || std::size_t(length) > LongestCongWord)
        return false;
    std::array<char, LongestCongWord> lower{};
    for (qsizetype k = 0; k < length; ++k) {
        const QChar c = ToAsciiLower(text[from + k]);
        if (!IsAsciiLower(c))
            return false;
        lower[std::size_t(k)] = char(c.unicode());
    }
    return std::binary_search(CongWords.begin(), CongWords.end(), std::string_view(lower.data(), std::size_t(length)));
}

// Counted from the date part alone: a local date-time conversion would cost more than the rest of the keystroke.
int TodaysYear()
{
    const TDateTime now = processClock().Now();
    return std::isfinite(now) ? QDate(1899, 12, 30).addDays(qint64(std::floor(now))).year() : 0;
}

QString CenturyDigits(DateAgeType age)
{
    switch (age) {
    case DateAgeType::dtCurrent:
        return QString::number(TodaysYear() / 100);
    case DateAgeType::dt1900:
        return QStringLiteral("19");
    case DateAgeType::dt2000:
        return QStringLiteral("20");
    case DateAgeType::dtNone:
        break;
    }
    return {};
}

QChar Refuse()
{
    MessageBeep();
    return TStringCaps::KeyRefused;
}

} // namespace

QString TStringCaps::Filter(const QString &text, CharFilterType kind) const
{
    switch (kind) {
    case CharFilterType::chFirstCap:
        return FirstCapFilter(text);
    case CharFilterType::chFirstCapCong:
        return FirstCapCongFilter(text);
    case CharFilterType::chOneCap:
        return OneCapFilter(text);
    case CharFilterType::chAllCaps:
        return AllCapsFilter(text);
    case CharFilterType::chDefault:
    case CharFilterType::chDate:
    case CharFilterType::chNumber:
    case CharFilterType::chDecimal:
        break;
    }
    return text;
}

QString TStringCaps::FirstCapFilter(const QString &text) const
{
    QString c = text;
    const qsizetype n = c.size();
    if (n == 0)
        return c;
    c[0] = ToAsciiUpper(c[0]);
    // Left to right, so each step sees the characters before it already rewritten.
    for (qsizetype j = 1; j < n; ++j) {
        const qsizetype p = j - 1;
        if (IsLetterAt(c, p))
            c[j] = ToAsciiLower(c[j]);
        else
            c[j] = ToAsciiUpper(c[j]);
        // A repeated capital stays a capital (Roman numerals, "OO"); doubled vowels A, E, U read as a name.
        const QChar previous = c[p];
        if (previous == ToAsciiUpper(c[j]) && previous != u'A' && previous != u'E' && previous != u'U')
            c[j] = previous;
    }
    return c;
}

QString TStringCaps::FirstCapCongFilter(const QString &text) const
{
    QString c = FirstCapFilter(text);
    const qsizetype n = c.size();
    qsizetype i = 0;
    while (i < n - 1 && IsLetterAt(c, i))
        ++i;
    if (i == n - 1)
        return c;
    while (i < n - 1) {
        if (!IsWordCharAt(c, i)) {
            while (i < n - 1 && !IsWordCharAt(c, i))
                ++i;
            qsizetype j = i + 1;
            while (j < n && IsWordCharAt(c, j))
                ++j;
            if (IsCongWord(c, i, j)) {
                for (qsizetype k = i; k < j; ++k)
                    c[k] = ToAsciiLower(c[k]);
                i = j - 1;
            }
        }
        ++i;
    }
    return c;
}

QString TStringCaps::OneCapFilter(const QString &text) const
{
    QString c = text;
    if (!c.isEmpty())
        c[0] = ToAsciiUpper(c[0]);
    return c;
}

QString TStringCaps::AllCapsFilter(const QString &text) const
{
    QString c = text;
    for (QChar &ch : c)
        ch = ToAsciiUpper(ch);
    return c;
}

QChar TStringCaps::CharDateProcess(QChar key, QString &text, int &selStart, int &selEnd, DateAgeType age) const
{
    const QChar separator = formatSettings().DateSeparator;
    const bool isDigit = IsDigit(key);
    const bool isSeparator = key == separator && !isDigit;
    if (key == u'\b' || key == u'\t' || key == u'\r' || key == QChar(27))
        return key;
    if (!isDigit && !isSeparator)
        return Refuse();

    // Work on a view of the text; text and positions are written only when the result says so.
    QStringView t(text);
    qsizetype n = t.size();
    qsizetype e = std::clamp<qsizetype>(selEnd, 0, n);
    qsizetype s = std::clamp<qsizetype>(selStart, 0, n);
    if (s > e)
        std::swap(s, e);
    const qsizetype selected = e - s;

    // A selection of the whole text is replaced by the key: judge it against an empty field.
    if (s == 0 && e != 0 && e == n) {
        t = QStringView();
        n = 0;
        e = 0;
    }

    int separators = 0;
    qsizetype secondSeparator = MaxDateLength + 1;
    for (qsizetype k = 0; k < n; ++k) {
        if (t[k] == separator && ++separators == 2) {
            secondSeparator = k;
            break;
        }
    }
    const QChar before = s > 0 ? t[s - 1] : QChar();
    const QChar at = s < n ? t[s] : QChar();

    if (isSeparator) {
        if (separators >= 2 || s == 0 || before == separator)
            return Refuse();
    } else {
        // Day and month take at most two digits.
        if (s > 0 && s <= secondSeparator) {
            qsizetype run = 0;
            for (qsizetype k = s - 1; k >= 0 && IsDigit(t[k]); --k)
                ++run;
            for (qsizetype k = s; k < n && IsDigit(t[k]); ++k)
                ++run;
            if (run >= 2)
                return Refuse();
        }
        // The year takes at most four.
        if (s > secondSeparator) {
            qsizetype run = 0;
            for (qsizetype k = secondSeparator + 1; k < n && IsDigit(t[k]); ++k)
                ++run;
            if (run >= 4)
                return Refuse();
        }
        // The day stays within 31, typed after or before its other digit.
        if (s == 1 && (t[0] > u'3' || (t[0] == u'3' && key > u'1')))
            return Refuse();
        if (s == 0 && e != n && IsDigit(t[0]) && (key > u'3' || (key == u'3' && t[0] > u'1')))
            return Refuse();
        // The month stays within 12.
        int separatorsBefore = 0;
        for (qsizetype k = 0; k < s; ++k)
            separatorsBefore += t[k] == separator ? 1 : 0;
        if (separatorsBefore == 1) {
            if (IsDigit(before) && (before > u'1' || (before == u'1' && key > u'2')))
                return Refuse();
            if (IsDigit(at) && (key > u'1' || (key == u'1' && at > u'2')))
                return Refuse();
        }
    }

    QString completion;
    if (e == n) {
        if (isSeparator && separators == 1)
            completion = key + CenturyDigits(age);
        else if (isDigit && separators == 0 && (s == 1 || key > u'3'))
            completion = QString(key) + separator;
        else if (isDigit && separators == 1 && (IsDigit(before) || key > u'1'))
            completion = QString(key) + separator + CenturyDigits(age);
    }

    if (completion.isEmpty()) {
        // The field inserts the key in place of the selection; a pasted text must not grow past a date's length.
        if (text.size() - selected + 1 > MaxDateLength)
            return Refuse();
        return key;
    }
    if (n + completion.size() > MaxDateLength)
        return Refuse();
    text = t.toString() + completion;
    selStart = int(text.size());
    selEnd = selStart;
    return TextRewritten;
}
