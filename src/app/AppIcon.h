#pragma once

#include <QIcon>
#include <QPixmap>

// Tocsinet's own icon, an alarm clock: the application's icon and the picture in the notification area. It is
// drawn on a 32 x 32 grid in the 16 classic colours; every size is drawn afresh rather than scaled from a bitmap.
QIcon AppIcon();

// The alarm clock drawn on a transparent square of size x size pixels.
QPixmap DrawAppIcon(int size);
