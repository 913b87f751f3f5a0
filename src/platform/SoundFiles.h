#pragma once

#include <QString>

// The folder of the sounds that ship with the program: <folder of the executable>/../share/tocsinet/sounds, absolute
// and cleaned. Needs the QCoreApplication.
QString SoundsFolder();

// Full paths of the shipped alarm ring and pre-alarm beep, the sounds of a first start.
QString DefaultAlarmSound();
QString DefaultPreAlarmSound();
