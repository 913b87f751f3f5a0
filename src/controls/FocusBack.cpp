#include "controls/FocusBack.h"

#include <QMetaObject>
#include <QScopedValueRollback>
#include <QWidget>

namespace {
bool g_focusBackInProgress = false;
}

void RequestFocusBack(QWidget &widget)
{
    QWidget *target = &widget;
    QMetaObject::invokeMethod(
        target,
        [target] {
            const QScopedValueRollback guard(g_focusBackInProgress, true);
            target->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

bool FocusBackInProgress()
{
    return g_focusBackInProgress;
}
