#include "support/TestSupport.h"

#include "dialogs/About.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

QLabel *Label(const QWidget &form, const char *name)
{
    return form.findChild<QLabel *>(QString::fromLatin1(name));
}

QImage Image(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// A copy of this program whose version table has lost the keys given, renamed to something no one asks for.
QString CopyWithoutKeys(const QTemporaryDir &dir, const QList<QByteArray> &keys)
{
    QFile self(QCoreApplication::applicationFilePath());
    if (!self.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = self.readAll();
    for (const QByteArray &key : keys) {
        const QByteArray path = "041004E4\\" + key + '\0';
        QByteArray renamed = path;
        renamed[renamed.size() - 2] = '#';
        if (!bytes.contains(path))
            ADD_FAILURE() << key.toStdString() << " not found in the program's file";
        bytes.replace(path, renamed);
    }
    QFile copy(dir.filePath(u"tocsinet"_s));
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size())
        return {};
    return copy.fileName();
}

} // namespace

TEST(AboutLabels, ShowTheRunningProgramsInformation)
{
    TAboutForm dlg(nullptr);
    dlg.FormShow();
    EXPECT_EQ(Label(dlg, "ProductLabel")->text(), u"Tocsinet"_s);
    EXPECT_EQ(Label(dlg, "VersionLabel")->text(), u"Version 1.3.2  Build #005"_s);
    EXPECT_EQ(Label(dlg, "CompanyLabel")->text(), u"https://tocsinet.example.org"_s);
    EXPECT_EQ(Label(dlg, "TrademarkLabel")->text(), u"All rights reserved"_s);
    EXPECT_EQ(Label(dlg, "CopyrightLabel")->text(), u"Copyright (C) The Tocsinet authors"_s);
    // The three upper lines grow with their text instead of cutting it off.
    for (const char *name : {"ProductLabel", "VersionLabel", "CompanyLabel"}) {
        const QLabel *label = Label(dlg, name);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << name;
    }
}

TEST(AboutLabels, KeepTheirTextsWithoutInformation)
{
    QTemporaryDir dir;
    TAboutForm dlg(nullptr, dir.filePath(u"missing"_s));
    dlg.FormShow();
    EXPECT_EQ(Label(dlg, "ProductLabel")->text(), u"ProductName"_s);
    EXPECT_EQ(Label(dlg, "VersionLabel")->text(), u"FileVersion"_s);
    EXPECT_EQ(Label(dlg, "CompanyLabel")->text(), u"CompanyName"_s);
    EXPECT_EQ(Label(dlg, "TrademarkLabel")->text(), u"LegalTrademarks"_s);
    EXPECT_EQ(Label(dlg, "CopyrightLabel")->text(), u"LegalCopyright"_s);
}

TEST(AboutLabels, MissingKeysLeaveOnlyTheirLabelsAlone)
{
    QTemporaryDir dir;
    const QString path = CopyWithoutKeys(dir, {"FileVersion", "CompanyName"});
    ASSERT_FALSE(path.isEmpty());
    TAboutForm dlg(nullptr, path);
    dlg.FormShow();
    EXPECT_EQ(Label(dlg, "ProductLabel")->text(), u"Tocsinet"_s);
    EXPECT_EQ(Label(dlg, "VersionLabel")->text(), u"FileVersion"_s);
    EXPECT_EQ(Label(dlg, "CompanyLabel")->text(), u"CompanyName"_s); // not the value read just before it
    EXPECT_EQ(Label(dlg, "CopyrightLabel")->text(), u"Copyright (C) The Tocsinet authors"_s);
}

struct TVersionCase
{
    const char *name;
    QString fileVersion;
    std::optional<QString> line;
    friend void PrintTo(const TVersionCase &c, std::ostream *os) { *os << c.name; }
};

class AboutVersionLine : public testing::TestWithParam<TVersionCase>
{
};

TEST_P(AboutVersionLine, SplitsAtTheLastPoint)
{
    EXPECT_EQ(TAboutFormBase::VersionLine(GetParam().fileVersion), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, AboutVersionLine,
    testing::Values(TVersionCase{"four_parts", u"1.3.2.5"_s, u"Version 1.3.2  Build #005"_s},
                    TVersionCase{"two_digit_build_keeps_both_zeros", u"2.0.10"_s, u"Version 2.0  Build #0010"_s},
                    TVersionCase{"trailing_point_gives_no_build", u"1.3.2."_s, u"Version 1.3.2  Build #00"_s},
                    TVersionCase{"no_point_is_all_version", u"1325"_s, u"Version 1325"_s},
                    TVersionCase{"point_only_in_first_place", u".5"_s, u"Version .5"_s},
                    TVersionCase{"longer_than_eleven", u"2024.12.31.1234567890"_s,
                                 u"Version 2024.12.31  Build #001234567890"_s},
                    TVersionCase{"empty_builds_no_line", QString(), std::nullopt}),
    [](const auto &row) { return std::string(row.param.name); });

struct TCloseCase
{
    const char *name;
    Qt::Key key;
    friend void PrintTo(const TCloseCase &c, std::ostream *os) { *os << c.name; }
};

class AboutClose : public testing::TestWithParam<TCloseCase>
{
};

TEST_P(AboutClose, KeyPressesOkAndAccepts)
{
    TAboutForm dlg(nullptr, QString());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_EQ(QApplication::focusWidget(), dlg.findChild<QPushButton *>(u"OkButton"_s));
    QTest::keyClick(QApplication::focusWidget(), GetParam().key);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutClose,
                         testing::Values(TCloseCase{"enter", Qt::Key_Return}, TCloseCase{"keypad_enter", Qt::Key_Enter},
                                         TCloseCase{"esc", Qt::Key_Escape}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(AboutIcons, ProductBoxShowsTheApplicationsIconAndTheBaseItsOwn)
{
    const QIcon saved = QApplication::windowIcon();
    QPixmap appPixmap(32, 32);
    appPixmap.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(appPixmap));

    const TAboutForm about(nullptr, QString());
    const TAboutFormBase base(nullptr, QString());
    EXPECT_EQ(about.windowTitle(), u"Informazioni prodotto"_s);
    EXPECT_EQ(base.windowTitle(), u"Informazioni"_s);
    EXPECT_EQ(Image(Label(about, "ProgramIcon")->pixmap()), Image(appPixmap));
    const QImage own = Image(Label(base, "ProgramIcon")->pixmap());
    EXPECT_EQ(own.size(), QSize(32, 32));
    EXPECT_NE(own, Image(appPixmap));
    EXPECT_NE(own.pixelColor(16, 16).alpha(), 0);

    QApplication::setWindowIcon(saved);
}

TEST(AboutOkButton, IsTheDefaultWithAGreenTickAndAGreyOneWhenDisabled)
{
    const TAboutFormBase dlg(nullptr, QString());
    const auto *ok = dlg.findChild<QPushButton *>(u"OkButton"_s);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->isDefault());
    const auto colours = [&](QIcon::Mode mode) {
        const QImage glyph = Image(ok->icon().pixmap(QSize(18, 18), 1.0, mode));
        int green = 0, grey = 0;
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x) {
                const QColor c = glyph.pixelColor(x, y);
                if (c.alpha() < 200)
                    continue;
                green += c.green() > 2 * c.red() && c.green() > 2 * c.blue();
                grey += c.red() == c.green() && c.green() == c.blue() && c.red() > 0;
            }
        return std::make_tuple(glyph.size(), glyph.pixelColor(0, 0).alpha(), green, grey);
    };
    const auto [normalSize, normalCorner, normalGreen, normalGrey] = colours(QIcon::Normal);
    EXPECT_EQ(normalSize, QSize(18, 18));
    EXPECT_EQ(normalCorner, 0); // the ground is transparent
    EXPECT_GT(normalGreen, 10);
    const auto [disabledSize, disabledCorner, disabledGreen, disabledGrey] = colours(QIcon::Disabled);
    EXPECT_EQ(disabledGreen, 0);
    EXPECT_GT(disabledGrey, 10);
}
