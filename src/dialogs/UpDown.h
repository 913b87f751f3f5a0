#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of small arrow buttons glued to the right edge of an edit, stepping the whole number that the edit shows.
// The arrows and the Up and Down keys in the edit step by one within Min..Max; a step past either end stops there,
// never wrapping. The control takes no keyboard focus of its own.
class TUpDown : public QWidget
{
    Q_OBJECT
public:
    explicit TUpDown(QWidget *parent = nullptr);
    ~TUpDown() override;

    int Min() const { return m_min; }
    int Max() const { return m_max; }
    // Keeps Position inside the new range, writing the edit only if that moved it; a max below min is taken as min.
    void SetRange(int min, int max);

    // The last value in range that the control wrote to the edit or saw in it; Min at first.
    int Position() const { return m_position; }
    // Clamped to Min..Max, then shown in the edit.
    void SetPosition(int value);

    // The edit whose number the control steps; it moves to the edit's right edge, takes its height, follows it
    // when it moves or resizes, and shows Position in it at once. Null detaches.
    QLineEdit *Associate() const { return m_associate; }
    void SetAssociate(QLineEdit *edit);

    // One step up (delta 1) or down (-1) from the number the edit shows now. A text that is not a whole number
    // steps from Position instead; a number outside the range steps and then lands on the nearer end.
    void Step(int delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Attach();
    void ShowPosition();

    QToolButton *m_up;
    QToolButton *m_down;
    QLineEdit *m_associate = nullptr;
    // The same edit as the event filter sees it. Events still arrive while the edit is being destroyed, when a
    // cast to QLineEdit is no longer valid, so the filter compares this plain QObject pointer.
    QObject *m_watched = nullptr;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
};
