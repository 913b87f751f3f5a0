#include <tocsinet/controls/MyEdit.h>
#include <tocsinet/controls/StrCaps.h>
#include <tocsinet/platform/FormatSettings.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    formatSettings().DecimalSeparator = u',';

    const QString title = TStringCaps().Filter(QStringLiteral("casa dell'arte"), CharFilterType::chFirstCapCong);
    TMyEdit edit;
    edit.SetCharFilter(CharFilterType::chDecimal);
    edit.SetMinValue(0.5);
    edit.setText(QStringLiteral("1,5"));

    if (title != QStringLiteral("Casa dell'Arte") || !edit.ValidData()) {
        std::fprintf(stderr, "unexpected: \"%s\", valid %d\n", qPrintable(title), int(edit.ValidData()));
        return 1;
    }
    std::printf("%s\n", qPrintable(title));
    return 0;
}
