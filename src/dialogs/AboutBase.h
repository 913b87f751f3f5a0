#pragma once

#include <QDialog>

#include <memory>
#include <optional>

class QIcon;
class QKeyEvent;
class QShowEvent;

namespace Ui {
class TAboutFormBase;
}

// A reusable About box: product, version and company lines and two centred legal lines, read each time the box is
// shown from the version information of an executable file, beside a program icon. Shown modally for one use; OK,
// Enter and Esc all close it with QDialog::Accepted.
class TAboutFormBase : public QDialog
{
    Q_OBJECT
public:
    // Reads the running program's own file.
    explicit TAboutFormBase(QWidget *owner);
    // Reads the executable file at executablePath.
    TAboutFormBase(QWidget *owner, const QString &executablePath);
    ~TAboutFormBase() override;

    // The version line for a FileVersion text. The last point after the first character splits it into version
    // and build: "1.3.2.5" gives "Version 1.3.2  Build #005". A text with no such point is the version as a whole,
    // with no build part. nullopt for an empty text, which leaves the label as it is.
    static std::optional<QString> VersionLine(const QString &fileVersion);

public Q_SLOTS:
    // Fills the five labels from the executable's version information. Missing information, or a missing key,
    // leaves the labels concerned with the text they had.
    void FormShow();

protected:
    // Replaces the icon shown beside the labels.
    void SetProgramIcon(const QIcon &icon);
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::TAboutFormBase> ui;
    QString m_executablePath;
};
