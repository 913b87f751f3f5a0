#include "controls/MyEdit.h"

#include "controls/FocusBack.h"
#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"
#include "platform/Notice.h"

#include <QDate>
#include <QFocusEvent>
#include <QKeyEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool IsControlKey(QChar c)
{
    return c == u'\b' || c == u'\t' || c == u'\r' || c == QChar(27);
}

// The character a key press types, as the filters see it: Ctrl+letter is its control character (Ctrl+V is 22), so
// keyboard clipboard shortcuts are filtered like any other key. Null for keys that type nothing (arrows, Delete).
QChar TypedChar(const QKeyEvent &event)
{
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(key - Qt::Key_A + 1);
    switch (key) {
    case Qt::Key_Backspace:
        return u'\b';
    case Qt::Key_Tab:
        return u'\t';
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return u'\r';
    case Qt::Key_Escape:
        return QChar(27);
    case Qt::Key_Delete:
        return {};
    default:
        break;
    }
    const QString text = event.text();
    return !text.isEmpty() && text[0].isPrint() ? text[0] : QChar();
}

// Losing the focus to another window, a popup or the menu bar leaves the user in this control.
bool LeavesControl(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason;
}

bool IsSet(const QVariant &bound)
{
    return bound.isValid() && !(bound.canConvert<QString>() && bound.toString().isEmpty());
}

// An optional sign, digits and, when fractions are allowed, one decimal separator: no exponent, no grouping.
std::optional<double> ParseNumber(const QString &text, bool allowFraction)
{
    const QString trimmed = text.trimmed();
    const QChar separator = formatSettings().DecimalSeparator;
    QByteArray plain;
    plain.reserve(trimmed.size());
    bool digits = false;
    bool fraction = false;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (IsDigit(c)) {
            digits = true;
            plain += char(c.unicode());
        } else if (i == 0 && (c == u'-' || c == u'+')) {
            plain += char(c.unicode());
        } else if (c == separator && allowFraction && !fraction) {
            fraction = true;
            plain += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

std::optional<double> NumberBound(const QVariant &bound)
{
    if (bound.typeId() == QMetaType::QString)
        return ParseNumber(bound.toString(), true);
    if (bound.typeId() == QMetaType::QDate || bound.typeId() == QMetaType::QDateTime)
        return std::nullopt;
    bool ok = false;
    const double value = bound.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// 1 to maxDigits decimal digits.
std::optional<int> ParseField(QStringView field, qsizetype maxDigits)
{
    if (field.isEmpty() || field.size() > maxDigits || !std::all_of(field.begin(), field.end(), IsDigit))
        return std::nullopt;
    return field.toInt();
}

// A date in the order of the locale's short format (day, month and year fields with its date separator; one or two
// digits of day and month, one to four of year, a year of up to two digits in the current century), optionally
// followed by a space and hours, minutes and optional seconds with the time separator.
std::optional<TDateTime> ParseDateTime(const QString &text)
{
    const FormatSettings &formats = formatSettings();
    const QString trimmed = text.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    const QStringView datePart = QStringView(trimmed).left(space < 0 ? trimmed.size() : space);
    const QStringView timePart = space < 0 ? QStringView() : QStringView(trimmed).mid(space + 1).trimmed();

    const QList<QStringView> fields = datePart.split(formats.DateSeparator);
    if (fields.size() != 3)
        return std::nullopt;
    struct TField
    {
        qsizetype Position;
        char Kind;
    };
    std::array<TField, 3> order = {TField{formats.ShortDateFormat.indexOf(u'd'), 'd'},
                                   TField{formats.ShortDateFormat.indexOf(u'M'), 'M'},
                                   TField{formats.ShortDateFormat.indexOf(u'y'), 'y'}};
    std::stable_sort(order.begin(), order.end(),
                     [](const TField &a, const TField &b) { return a.Position < b.Position; });
    int day = 0, month = 0, year = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const QStringView field = fields[qsizetype(k)];
        const std::optional<int> value = ParseField(field, order[k].Kind == 'y' ? 4 : 2);
        if (!value)
            return std::nullopt;
        if (order[k].Kind == 'd')
            day = *value;
        else if (order[k].Kind == 'M')
            month = *value;
        else if (field.size() <= 2)
            year = ToQDateTime(processClock().Now()).date().year() / 100 * 100 + *value;
        else
            year = *value;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    TDateTime result = EncodeDate(year, month, day);

    if (!timePart.isEmpty()) {
        const QList<QStringView> parts = timePart.split(formats.TimeSeparator);
        if (parts.size() < 2 || parts.size() > 3)
            return std::nullopt;
        std::array<int, 3> hms = {0, 0, 0};
        for (qsizetype k = 0; k < parts.size(); ++k) {
            const std::optional<int> value = ParseField(parts[k], 2);
            if (!value)
                return std::nullopt;
            hms[std::size_t(k)] = *value;
        }
        if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59)
            return std::nullopt;
        result += EncodeTime(hms[0], hms[1], hms[2]);
    }
    return result;
}

std::optional<double> DateBound(const QVariant &bound)
{
    switch (bound.typeId()) {
    case QMetaType::QDate: {
        const QDate date = bound.toDate();
        return date.isValid() ? std::optional(EncodeDate(date.year(), date.month(), date.day())) : std::nullopt;
    }
    case QMetaType::QDateTime: {
        const QDateTime value = bound.toDateTime();
        return value.isValid() ? std::optional(ToDateTime(value)) : std::nullopt;
    }
    case QMetaType::QString:
        return ParseDateTime(bound.toString());
    default:
        return NumberBound(bound);
    }
}

// An unset bound is an open end; a set bound that does not read as a value fails the check.
template <typename TRead>
bool WithinBounds(std::optional<double> value, const QVariant &min, const QVariant &max, TRead read)
{
    if (!value)
        return false;
    if (IsSet(min)) {
        const std::optional<double> low = read(min);
        if (!low || *value < *low)
            return false;
    }
    if (IsSet(max)) {
        const std::optional<double> high = read(max);
        if (!high || *value > *high)
            return false;
    }
    return true;
}

} // namespace

TMyEdit::TMyEdit(QWidget *parent) : QLineEdit(parent) {}

void TMyEdit::SetCharFilter(CharFilterType value)
{
    if (value == m_charFilter)
        return;
    m_charFilter = value;
    if (value != CharFilterType::chDate)
        m_dateAge = DateAgeType::dtNone;
    m_minValue = QVariant();
    m_maxValue = QVariant();
    SetTextIfChanged(QString());
    UpdEdit();
}

bool TMyEdit::ValidData() const
{
    const QString value = text();
    if (value.isEmpty() || (!IsSet(m_minValue) && !IsSet(m_maxValue)))
        return true;
    switch (m_charFilter) {
    case CharFilterType::chDate:
        return WithinBounds(ParseDateTime(value), m_minValue, m_maxValue, DateBound);
    case CharFilterType::chNumber:
        return WithinBounds(ParseNumber(value, false), m_minValue, m_maxValue, NumberBound);
    case CharFilterType::chDecimal:
        return WithinBounds(ParseNumber(value, true), m_minValue, m_maxValue, NumberBound);
    default:
        return true;
    }
}

void TMyEdit::UpdEdit()
{
    const QString filtered = m_caps.Filter(text(), m_charFilter);
    if (filtered == text())
        return;
    // The filters keep the length, so the old positions still fit the new text.
    const int caret = cursorPosition();
    const int start = hasSelectedText() ? selectionStart() : caret;
    const int length = selectionLength();
    setText(filtered);
    if (length == 0)
        setCursorPosition(caret);
    else if (caret == start)
        setSelection(start + length, -length);
    else
        setSelection(start, length);
}

void TMyEdit::KeyPress(QChar &key)
{
    switch (m_charFilter) {
    case CharFilterType::chNumber:
        if (!IsDigit(key) && !IsControlKey(key))
            key = QChar();
        break;
    case CharFilterType::chDecimal:
        if (!IsDigit(key) && !IsControlKey(key) && key != formatSettings().DecimalSeparator)
            key = QChar();
        break;
    case CharFilterType::chDate: {
        QString working = text();
        int start = hasSelectedText() ? selectionStart() : cursorPosition();
        int end = start + selectionLength();
        const QChar result = m_caps.CharDateProcess(key, working, start, end, m_dateAge);
        if (result == TStringCaps::TextRewritten) {
            SetTextIfChanged(working);
            setCursorPosition(start);
        }
        if (result != key)
            key = QChar();
        break;
    }
    default:
        break;
    }
    if (OnKeyPress)
        OnKeyPress(*this, key);
}

void TMyEdit::keyPressEvent(QKeyEvent *event)
{
    const QChar typed = TypedChar(*event);
    if (typed.isNull()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar key = typed;
    KeyPress(key);
    if (key == typed) {
        QLineEdit::keyPressEvent(event);
    } else if (key.isNull()) {
        event->accept();
    } else {
        QKeyEvent replaced(event->type(), Qt::Key_unknown, Qt::NoModifier, QString(key), event->isAutoRepeat());
        QLineEdit::keyPressEvent(&replaced);
        event->setAccepted(replaced.isAccepted());
    }
}

void TMyEdit::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
    UpdEdit();
}

void TMyEdit::focusOutEvent(QFocusEvent *event)
{
    const bool leaves = LeavesControl(event->reason());
    // Validate before QLineEdit: OnExit handlers must see a checked value.
    if (leaves && !FocusBackInProgress() && !ValidData()) {
        MessageBeep();
        RequestFocusBack(*this);
    }
    QLineEdit::focusOutEvent(event);
    if (leaves && OnExit)
        OnExit(*this);
}

void TMyEdit::SetTextIfChanged(const QString &value)
{
    if (text() != value)
        setText(value);
}
