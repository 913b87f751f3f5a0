#pragma once

class IClock;
class ISound;
class IUserNotice;
class IClockSetter;
class ISntpClient;

// The services that the program's windows reach the system through. main() wires the real ones; tests, fakes.
struct TPlatform
{
    IClock &Clock;
    ISound &Sound;
    IUserNotice &Notice;
    IClockSetter &ClockSetter;
    ISntpClient &Sntp;
};
