// Random keys, texts and selections through the text filters and date entry. Checks that every filter keeps the
// length, that date entry touches the text only when it says so, and that a date it writes or lets grow never
// passes its ten characters.
#include "controls/StrCaps.h"
#include "platform/Clock.h"
#include "platform/Notice.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class TSilentNotice final : public IUserNotice
{
public:
    void Beep() override {}
    void Message(QWidget *, const QString &, const QString &, Icon) override {}
    void Error(QWidget *, const QString &) override {}
};

class TFixedClock final : public IClock
{
public:
    TDateTime Now() const override { return 39'217.5; } // 15 May 2007, noon
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsControlKey(QChar c)
{
    return c == u'\b' || c == u'\t' || c == u'\r' || c == QChar(27);
}

} // namespace

// Layout: filter kind (its top bit picks the text encoding), age, selection start and end (signed bytes, so also
// before the start and past the end), then the text; its last character is the key.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static TSilentNotice notice;
    static TFixedClock clock;
    setUserNotice(&notice);
    setProcessClock(&clock);
    if (size < 5)
        return 0;

    const auto kind = CharFilterType(data[0] % 9); // one value past the enumeration too
    const auto age = DateAgeType(data[1] % 4);
    const int selStart = std::int8_t(data[2]);
    const int selEnd = std::int8_t(data[3]);
    const auto *body = reinterpret_cast<const char *>(data + 4);
    const qsizetype bodySize = qsizetype(size - 4);
    QString text = (data[0] & 0x80) ? QString::fromLatin1(body, bodySize)
                                    : QString(reinterpret_cast<const QChar *>(body), bodySize / 2);
    if (text.isEmpty())
        return 0;
    const QChar key = text.back();
    text.chop(1);

    const TStringCaps caps;
    Check(caps.Filter(text, kind).size() == text.size());
    Check(caps.FirstCapCongFilter(text).size() == text.size());

    QString working = text;
    int start = selStart, end = selEnd;
    const QChar result = caps.CharDateProcess(key, working, start, end, age);
    if (result == TStringCaps::TextRewritten) {
        Check(working.size() <= TStringCaps::MaxDateLength);
        Check(start == working.size() && end == start);
    } else {
        Check(result == TStringCaps::KeyRefused || result == key);
        Check(working == text && start == selStart && end == selEnd);
        if (result != TStringCaps::KeyRefused && !IsControlKey(key)) {
            // What the field holds once it has put the key in place of the selection.
            const int n = int(text.size());
            const int s = std::clamp(std::min(selStart, selEnd), 0, n);
            const int e = std::clamp(std::max(selStart, selEnd), 0, n);
            Check(n - (e - s) + 1 <= TStringCaps::MaxDateLength);
        }
    }
    return 0;
}
