#pragma once
#include <any>
#include <memory>
#include <string>

// Event kinds. The application, key and mouse kinds are the ones this program
// produces; the others only have names so that ToString can describe them.
enum : int {
    EVENT_APPSUSPEND = 257,
    EVENT_APPRESUME = 258,
    EVENT_APPTERMINATE = 259,
    EVENT_APPOPENFILE = 260,
    EVENT_APPIDLE = 261,
    EVENT_KEYDOWN = 513,
    EVENT_KEYUP = 514,
    EVENT_KEYCHAR = 515,
    EVENT_KEYREPEAT = 516,
    EVENT_MOUSEDOWN = 1025,
    EVENT_MOUSEUP = 1026,
    EVENT_MOUSEMOVE = 1027,
    EVENT_MOUSEWHEEL = 1028,
    EVENT_MOUSEENTER = 1029,
    EVENT_MOUSELEAVE = 1030,
    EVENT_TIMERTICK = 2049,
    EVENT_HOTKEYHIT = 4097,
    EVENT_GADGETACTION = 8193,
    EVENT_GADGETPAINT = 8194,
    EVENT_GADGETSELECT = 8195,
    EVENT_GADGETMENU = 8196,
    EVENT_GADGETOPEN = 8197,
    EVENT_GADGETCLOSE = 8198,
    EVENT_GADGETDONE = 8199,
    EVENT_GADGETLOSTFOCUS = 8200,
    EVENT_GADGETSHAPE = 8201,
    EVENT_WINDOWMOVE = 16385,
    EVENT_WINDOWSIZE = 16386,
    EVENT_WINDOWCLOSE = 16387,
    EVENT_WINDOWACTIVATE = 16388,
    EVENT_WINDOWACCEPT = 16389,
    EVENT_MENUACTION = 32769,
    EVENT_STREAMEOF = 65537,
    EVENT_STREAMAVAIL = 65538,
    EVENT_PROCESSEXIT = 131073,
};

// Modifier mask carried by every event.
enum : int { MODIFIER_SHIFT = 1, MODIFIER_CONTROL = 2, MODIFIER_OPTION = 4, MODIFIER_SYSTEM = 8 };

// One event: a key, a character, a mouse action or a change of the
// application's state. Events are shared (hooks may keep them), so they are
// always made by Create.
class TEvent {
  public:
    int id = 0;
    // The object the event concerns, compared by identity only; null for
    // events of the display window.
    const void* source = nullptr;
    int data = 0; // key code, character, mouse button or wheel delta
    int mods = 0; // MODIFIER_* sum
    int x = 0, y = 0;
    // Additional object; empty for system events. ToString shows it when it
    // holds a std::string.
    std::any extra;

    static std::shared_ptr<TEvent> Create(int id, const void* source = nullptr, int data = 0, int mods = 0,
                                          int x = 0, int y = 0, std::any extra = {});

    // Runs the emit hooks with this event (synchronously) and returns what the
    // chain returned.
    std::any Emit() const;

    // "KeyDown: data=32, mods=0, x=0, y=0, extra=\"\""
    std::string ToString() const;

    // User event ids count up from 2^31 + 1 (the top bit set: negative ints).
    static int AllocUserId();
    static void RegisterId(int id, const std::string& name);
    // The registered name; "UserEvent<n>" for unnamed ids with the top bit
    // set, "Unknown Event, id=<id>" otherwise.
    static std::string DescriptionForId(int id);
};

// The hook chain every emitted event runs through (allocated on first use).
int EmitEventHookId();
