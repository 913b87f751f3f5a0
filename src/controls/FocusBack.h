#pragma once

class QWidget;

// Gives widget the keyboard focus back once the focus change under way has completed: the request is queued and
// runs when the event loop next gets to it. It is dropped when the widget is destroyed first.
void RequestFocusBack(QWidget &widget);

// True while a queued request moves the focus. A control that loses the focus then does not judge its value: two
// invalid fields would otherwise take the focus from each other for ever, beeping each time.
bool FocusBackInProgress();
