// The multimedia pieces the runtime calls: the PCM wave format record, periodic timers on a thread of the
// layer, the MCI sequencer device that plays MIDI files into the layer's sound mix, and the joysticks.
#pragma once

#include "win32/kernel.h"
#include "win32/types.h"

namespace win32 {

using MMRESULT = UINT;

// ---- Wave formats --------------------------------------------------------------------------------------

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// ---- Periodic timers -----------------------------------------------------------------------------------

constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;

using LPTIMECALLBACK = void (*)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

// Calls `callback` every `delay` ms (once with TIME_ONESHOT) on a thread of the layer; a late call is not
// repeated for the periods it missed. Returns the timer id, or 0 when `delay` is 0 or no thread starts.
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT event);
// After it returns no further call starts; a call in progress on another thread has finished. From inside
// the timer's own callback it returns at once. TIMERR_NOCANDO (97) for an unknown id.
MMRESULT timeKillEvent(UINT timerId);

// ---- MCI -----------------------------------------------------------------------------------------------

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_STOP = 0x0808;
constexpr UINT MCI_PAUSE = 0x0809;
constexpr UINT MCI_STATUS = 0x0814;

constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_WAIT = 0x00000002;
constexpr DWORD MCI_FROM = 0x00000004;
constexpr DWORD MCI_TO = 0x00000008;
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_ALIAS = 0x00000400;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;
constexpr DWORD MCI_STATUS_ITEM = 0x00000100;

constexpr DWORD MCI_STATUS_LENGTH = 0x00000001;
constexpr DWORD MCI_STATUS_POSITION = 0x00000002;
constexpr DWORD MCI_STATUS_MODE = 0x00000004;
// Modes MCI_STATUS_MODE answers.
constexpr DWORD MCI_MODE_STOP = 525;
constexpr DWORD MCI_MODE_PLAY = 526;
constexpr DWORD MCI_MODE_PAUSE = 529;

// Posted to the window given as a play's callback: wParam one of the notices below, lParam the device id.
constexpr UINT MM_MCINOTIFY = 0x03B9;
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 0x0001;
constexpr WPARAM MCI_NOTIFY_SUPERSEDED = 0x0002;
constexpr WPARAM MCI_NOTIFY_ABORTED = 0x0004;
constexpr WPARAM MCI_NOTIFY_FAILURE = 0x0008;

constexpr MCIERROR MCIERR_BASE = 256;
constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
constexpr MCIERROR MCIERR_OUT_OF_MEMORY = MCIERR_BASE + 8;
constexpr MCIERROR MCIERR_MISSING_PARAMETER = MCIERR_BASE + 17;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = MCIERR_BASE + 19;
constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;

struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
};

struct MCI_OPEN_PARMSW {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;
    LPCWSTR lpstrDeviceType;
    LPCWSTR lpstrElementName;
    LPCWSTR lpstrAlias;
};

struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
};

struct MCI_STATUS_PARMS {
    DWORD_PTR dwCallback;
    DWORD_PTR dwReturn;
    DWORD dwItem;
    DWORD dwTrack;
};

// Only the "sequencer" device type is known: it opens a Standard MIDI File (MCI_OPEN_ELEMENT) and plays it
// through FluidSynth into the layer's sound mix. Positions are milliseconds. A play with MCI_NOTIFY posts
// MM_MCINOTIFY to the window in the low bits of dwCallback when it ends: successful at the end of the
// file, superseded by a later play with MCI_NOTIFY, aborted by a pause, stop or close.
MCIERROR mciSendCommandW(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);

// ---- Joysticks -----------------------------------------------------------------------------------------

constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;
constexpr UINT JOYSTICKID1 = 0;

constexpr DWORD JOY_RETURNX = 0x00000001;
constexpr DWORD JOY_RETURNY = 0x00000002;
constexpr DWORD JOY_RETURNBUTTONS = 0x00000080;

struct JOYINFOEX {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;
    DWORD dwButtons; // bit n: button n + 1 held
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1, dwReserved2;
};

constexpr int MAXPNAMELEN = 32;
struct JOYCAPSW {
    WORD wMid, wPid;
    WCHAR szPname[MAXPNAMELEN];
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
};

// The joysticks are the system's game controllers in the order it lists them; positions run 0 to 65535 on
// each axis, the middle at 32767. JOYERR_UNPLUGGED for an id with no joystick.
MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info);
MMRESULT joyGetDevCapsW(UINT_PTR id, JOYCAPSW* caps, UINT size);

} // namespace win32
