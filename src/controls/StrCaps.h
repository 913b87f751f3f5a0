#pragma once

#include <QChar>
#include <QString>

#include <cstdint>

// The filter a control applies to what the user types. The values are stored in forms and settings: never renumber.
enum class CharFilterType : std::uint8_t
{
    chDefault = 0,      // no filtering
    chFirstCap = 1,     // a capital at the start of every word
    chFirstCapCong = 2, // as chFirstCap, with Italian articles, prepositions and conjunctions in small letters
    chOneCap = 3,       // a capital first character only
    chAllCaps = 4,      // ASCII letters in capitals
    chDate = 5,         // day/month/year entry, judged keystroke by keystroke
    chNumber = 6,       // digits only
    chDecimal = 7,      // digits and the locale's decimal separator
};

// The century that date entry writes in front of the year. Stored values: never renumber.
enum class DateAgeType : std::uint8_t
{
    dtCurrent = 0, // the century of today's local date (20 in the years 2000 to 2099)
    dtNone = 1,    // none: the user types the whole year
    dt1900 = 2,    // 19
    dt2000 = 3,    // 20
};

// Stateless text filters: title-casing by Italian rules and keystroke-by-keystroke date entry.
// Letters are Unicode letters (accented ones included); only the ASCII letters a-z and A-Z ever change case.
class TStringCaps
{
public:
    // The longest date text: two digits of day, two of month, four of year and two separators.
    static constexpr int MaxDateLength = 10;

    // CharDateProcess results other than the key itself.
    static constexpr QChar KeyRefused = QChar(0);    // a beep has sounded; the text is untouched
    static constexpr QChar TextRewritten = QChar(1); // show the new text and selection, drop the key

    // The text rewritten by the rule of kind (FirstCap, FirstCapCong, OneCap, AllCaps); other kinds, values outside
    // the enumeration included, return it unchanged. The result always has the length of the input.
    QString Filter(const QString &text, CharFilterType kind) const;

    // Every word (a run of letters) starts with a capital and goes on in small letters. A run of one repeated letter
    // at a word's start stays in capitals ("iii" gives "III", "xxiii" gives "XXiii"), except A, E and U ("Aaron").
    QString FirstCapFilter(const QString &text) const;
    // FirstCapFilter, then every word that follows a character other than a letter or a dot and is an Italian
    // article, preposition or conjunction ("di", "dell", "e") is written in small letters. The run of letters and
    // dots that opens the text is never changed by this step ("Del Piero"); a word holding a dot matches nothing.
    QString FirstCapCongFilter(const QString &text) const;
    // The first character in capitals (when it is an ASCII letter); nothing else changes.
    QString OneCapFilter(const QString &text) const;
    // Every ASCII small letter in capitals; other characters are left as they are.
    QString AllCapsFilter(const QString &text) const;

    // Judges one character typed into a day/month/year date field, before the field inserts it.
    // key: the typed character; control keys by their codes (backspace 8, tab 9, carriage return 13, escape 27),
    //      which always pass. Digits and the date separator of formatSettings() are judged; anything else is refused.
    // text, selStart, selEnd: the field's text and selection (equal positions for a bare caret); positions outside
    //      the text are clamped to it. A selection of the whole text counts as replaced by the key.
    // age: the century written after the month; dtCurrent reads today from processClock().
    // Returns KeyRefused after sounding MessageBeep(); TextRewritten after writing the completed text (separators
    // and century appended at its end) and a caret at its end into text, selStart and selEnd; otherwise the key,
    // which the field inserts in place of the selection. Only TextRewritten touches text, selStart and selEnd.
    // A digit or separator that would leave more than MaxDateLength characters is refused, so a rewritten text
    // never exceeds MaxDateLength; a longer (pasted) text takes only control keys, or a key replacing enough of it.
    QChar CharDateProcess(QChar key, QString &text, int &selStart, int &selEnd, DateAgeType age) const;
};
