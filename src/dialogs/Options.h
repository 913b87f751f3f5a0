#pragma once

#include <QDialog>

#include <functional>
#include <memory>

struct TAlarmSettings;
struct TPlatform;
class QButtonGroup;
class QFileDialog;
class QKeyEvent;
class QLineEdit;
class QShowEvent;

namespace Ui {
class TOptionsForm;
}

// Chooses the alarm sound, the pre-alarm with its step and sound, and the user mode, and plays the sounds for a test.
// Shown modally for one use. The settings change only when it closes with OK (result 1); every other close leaves
// them as they were.
class TOptionsForm : public QDialog
{
    Q_OBJECT
public:
    // Asks the user for a sound file, starting on startName (the file last chosen in this dialog, or empty).
    // Returns the chosen file's full path, or the empty text when the user cancels.
    using TOpenSoundDialog = std::function<QString(QWidget *parent, const QString &startName)>;

    TOptionsForm(QWidget *owner, TAlarmSettings &settings, TPlatform &platform);
    ~TOptionsForm() override;

    // Prepares the file dialog of both "Select..." buttons: "Open alarm file", for an existing wav or mp3 file
    // (wav first), in the folder of the shipped sounds, adding ".wav" to a name typed without a suffix. A
    // non-empty startName is preselected, its folder and its kind of file shown.
    static void SetUpSoundFileDialog(QFileDialog &dialog, const QString &startName);

    // How the "Select..." buttons ask for a file; runs a QFileDialog prepared by SetUpSoundFileDialog unless
    // replaced.
    TOpenSoundDialog OpenSoundDialog;

    // Runs on every close with its modal result. With OK it writes the controls back to the settings and returns
    // true. When the seconds text is not a whole 32-bit decimal number it writes nothing, shows "'<text>' is not a
    // valid integer value" in the error box and returns false: the close is abandoned. Other results change
    // nothing and return true.
    bool FormClose(int modalResult);

public Q_SLOTS:
    // Loads the controls from the settings; runs each time the dialog is shown.
    void FormShow();
    // Enables the seconds edit, its up-down, the pre-alarm sound edit and its two buttons exactly when the
    // pre-alarm box is ticked. Runs whenever the box changes.
    void CBPreAlarmClick();
    // A chosen file replaces the matching edit's text; a cancelled choice changes nothing.
    void SfogliaAlarmButtonClick();
    void SfogliaPreAlarmButtonClick();
    // Plays the file that the matching edit names, returning when the sound has ended; a file that cannot be
    // played sounds the default sound.
    void TestAlarmButtonClick();
    void TestPreAlarmButtonClick();

public:
    // Every close (OK, Cancel, Esc, the close box) passes FormClose first.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    // Enter and Return press the button that has the focus, and nothing else.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FitToFont();
    void ChooseSound(QLineEdit &edit);

    std::unique_ptr<Ui::TOptionsForm> ui;
    QButtonGroup *m_userMode;
    TAlarmSettings &m_settings;
    TPlatform &m_platform;
    QString m_soundFileName; // the file last chosen in this dialog, where the next choice starts
};
