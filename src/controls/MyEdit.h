#pragma once

#include "controls/StrCaps.h"

#include <QLineEdit>
#include <QVariant>

#include <functional>

class QFocusEvent;
class QKeyEvent;

// A single-line edit that filters what the user types by CharFilter and checks its value against optional bounds
// when the focus leaves it for another control of the same window.
class TMyEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(CharFilterType CharFilter READ CharFilter WRITE SetCharFilter)
    Q_PROPERTY(DateAgeType DateAge READ DateAge WRITE SetDateAge)

public:
    explicit TMyEdit(QWidget *parent = nullptr);

    // The filter in force; chDefault at first.
    CharFilterType CharFilter() const { return m_charFilter; }
    // A different kind empties the text, unsets both bounds and, unless it is chDate, sets DateAge to dtNone.
    // Setting the current kind again changes nothing. Set the filter before the text and the bounds.
    void SetCharFilter(CharFilterType value);

    // The century that chDate completes after the month; dtCurrent at first.
    DateAgeType DateAge() const { return m_dateAge; }
    void SetDateAge(DateAgeType value) { m_dateAge = value; }

    // Bounds checked when the focus leaves. An invalid QVariant, or one whose text form is empty, is unset: an open
    // end. Under chNumber and chDecimal a bound is a number, or a text read with the locale's decimal separator;
    // under chDate a QDate, a QDateTime, a TDateTime number or a date text. Other filters ignore them.
    // Storing a bound checks nothing yet.
    const QVariant &MinValue() const { return m_minValue; }
    void SetMinValue(const QVariant &value) { m_minValue = value; }
    const QVariant &MaxValue() const { return m_maxValue; }
    void SetMaxValue(const QVariant &value) { m_maxValue = value; }

    // True when the text is acceptable: always for an empty text, for filters other than chNumber, chDecimal and
    // chDate, and when no bound is set. Otherwise the text must read as a whole number (chNumber), a decimal number
    // with the locale's decimal separator (chDecimal) or a date in the locale's day/month/year order with an
    // optional time (chDate), and lie within the set bounds, ends included. A bound that does not read as such a
    // value makes every non-empty text invalid.
    bool ValidData() const;

    // Rewrites the text through the capitalisation filter in force, keeping the caret and the selection.
    // Runs after every key release; text assigned from code or pasted with the mouse waits for the next one.
    void UpdEdit();

    // Judges one typed character before the edit inserts it, then raises OnKeyPress. Under chNumber only digits
    // and the control keys backspace, tab, carriage return and escape pass; chDecimal also lets the locale's
    // decimal separator through; other keys are dropped silently (key becomes the null character). Keyboard
    // clipboard shortcuts arrive as control characters (Ctrl+V is 22) and are dropped too. Under chDate the key is
    // judged by TStringCaps::CharDateProcess: a refused key beeps and is dropped, a completed date replaces the
    // text with the caret at its end and the key is dropped.
    void KeyPress(QChar &key);

    // Raised for every typed character after the filter, with the key as it then stands (null when dropped).
    // The handler may drop the key by nulling it, or replace it by another printable character.
    std::function<void(TMyEdit &sender, QChar &key)> OnKeyPress;
    // Raised when the focus leaves for another control of the same window, after the value was checked, whether
    // it was valid or not. Losing the focus to another window or to a popup menu is not an exit.
    std::function<void(TMyEdit &sender)> OnExit;

protected:
    void keyPressEvent(QKeyEvent *event) override;   // KeyPress first, then QLineEdit's
    void keyReleaseEvent(QKeyEvent *event) override; // QLineEdit's first, then UpdEdit
    // An invalid value beeps and the focus comes back once the focus change has completed; OnExit follows.
    void focusOutEvent(QFocusEvent *event) override;

private:
    void SetTextIfChanged(const QString &value);

    TStringCaps m_caps;
    CharFilterType m_charFilter = CharFilterType::chDefault;
    DateAgeType m_dateAge = DateAgeType::dtCurrent;
    QVariant m_minValue;
    QVariant m_maxValue;
};
