#include "dialogs/UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace {

QToolButton *ArrowButton(QWidget *parent, Qt::ArrowType arrow, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    // Holding an arrow keeps stepping, as a spin box does.
    button->setAutoRepeat(true);
    return button;
}

} // namespace

TUpDown::TUpDown(QWidget *parent)
    : QWidget(parent), m_up(ArrowButton(this, Qt::UpArrow, QStringLiteral("UpButton"))),
      m_down(ArrowButton(this, Qt::DownArrow, QStringLiteral("DownButton")))
{
    setFocusPolicy(Qt::NoFocus);
    m_position = m_min;
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

TUpDown::~TUpDown() = default;

void TUpDown::SetRange(int min, int max)
{
    m_min = min;
    m_max = std::max(min, max);
    const int clamped = std::clamp(m_position, m_min, m_max);
    if (clamped != m_position)
        SetPosition(clamped);
}

void TUpDown::SetPosition(int value)
{
    m_position = std::clamp(value, m_min, m_max);
    ShowPosition();
}

void TUpDown::SetAssociate(QLineEdit *edit)
{
    if (m_associate) {
        m_associate->removeEventFilter(this);
        disconnect(m_associate, nullptr, this, nullptr);
    }
    m_associate = edit;
    m_watched = edit;
    if (!edit)
        return;
    edit->installEventFilter(this);
    connect(edit, &QObject::destroyed, this, [this] {
        m_associate = nullptr;
        m_watched = nullptr;
    });
    // A number in range that the edit shows, typed or set, is where the next step starts if the text is then
    // cleared or spoilt.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (ok && value >= m_min && value <= m_max)
            m_position = value;
    });
    Attach();
    ShowPosition();
}

void TUpDown::Step(int delta)
{
    long long current = m_position;
    if (m_associate) {
        bool ok = false;
        const long long typed = m_associate->text().toLongLong(&ok, 10);
        if (ok)
            current = typed;
    }
    // In 64 bits: a typed number near the int limits must not overflow before it is clamped.
    m_position = int(std::clamp<long long>(current + delta, m_min, m_max));
    ShowPosition();
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watched) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
            if (plain && isEnabled() && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
                Step(key->key() == Qt::Key_Up ? 1 : -1);
                return true;
            }
            break;
        }
        case QEvent::Move:
        case QEvent::Resize:
            Attach();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int upHeight = (height() + 1) / 2;
    m_up->setGeometry(0, 0, width(), upHeight);
    m_down->setGeometry(0, upHeight, width(), height() - upHeight);
}

void TUpDown::Attach()
{
    if (!m_associate || m_associate->parentWidget() != parentWidget())
        return;
    const QRect edit = m_associate->geometry();
    setGeometry(edit.right() + 1, edit.top(), width(), edit.height());
}

void TUpDown::ShowPosition()
{
    if (!m_associate)
        return;
    const QString text = QString::number(m_position);
    if (m_associate->text() != text)
        m_associate->setText(text);
}
