#include "backends/win32/win32_joystick.h"

#include <windows.h>
#include <mmsystem.h>

int TWin32JoypadBackend::Enumerate() {
    ids_.clear();
    enumerated_ = true;
    const UINT devices = joyGetNumDevs();
    for (UINT id = 0; id < devices && ids_.size() < MAXPORTS; ++id) {
        JOYINFO info;
        // Both "unplugged" and "no such id" mean no pad: only ids that answer count.
        if (joyGetPos(id, &info) == JOYERR_NOERROR) ids_.push_back(id);
    }
    return static_cast<int>(ids_.size());
}

unsigned TWin32JoypadBackend::JoystickId(int port) const {
    if (!enumerated_) return 0;
    if (port < 0 || port >= static_cast<int>(ids_.size())) return ~0u;
    return ids_[static_cast<size_t>(port)];
}

bool TWin32JoypadBackend::Caps(int port, TJoypadCaps& caps) {
    const unsigned id = JoystickId(port);
    if (id == ~0u) return false;
    JOYCAPSA jc{};
    if (joyGetDevCapsA(id, &jc, sizeof(jc)) != JOYERR_NOERROR) return false;
    caps.name = jc.szPname;
    caps.buttons = static_cast<int>(jc.wNumButtons);
    caps.axes = static_cast<int>(jc.wNumAxes > 6 ? 6 : jc.wNumAxes);
    caps.hat = (jc.wCaps & JOYCAPS_HASPOV) != 0;
    const UINT mins[6] = {jc.wXmin, jc.wYmin, jc.wZmin, jc.wRmin, jc.wUmin, jc.wVmin};
    const UINT maxs[6] = {jc.wXmax, jc.wYmax, jc.wZmax, jc.wRmax, jc.wUmax, jc.wVmax};
    for (int a = 0; a < 6; ++a) {
        caps.axis_min[a] = static_cast<int>(mins[a]);
        caps.axis_max[a] = static_cast<int>(maxs[a]);
    }
    return true;
}

bool TWin32JoypadBackend::Read(int port, TJoypadRaw& raw) {
    const unsigned id = JoystickId(port);
    if (id == ~0u) return false;
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = JOY_RETURNALL;
    if (joyGetPosEx(id, &info) != JOYERR_NOERROR) return false;
    raw.buttons = static_cast<unsigned>(info.dwButtons);
    const DWORD pos[6] = {info.dwXpos, info.dwYpos, info.dwZpos, info.dwRpos, info.dwUpos, info.dwVpos};
    for (int a = 0; a < 6; ++a)
        raw.axis_pos[a] = static_cast<int>(pos[a]);
    raw.hat = static_cast<int>(info.dwPOV);
    return true;
}
