#include "sim/input_script.h"

#include "platform/event.h"
#include "platform/input.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace {

[[noreturn]] void Fail(int line, const std::string& what) {
    throw TInputScriptError("line " + std::to_string(line) + ": " + what);
}

std::vector<std::string_view> Split(std::string_view s) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
}

int Number(std::string_view word, int lo, int hi, int line, const char* what) {
    int value = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    if (ec != std::errc() || ptr != end)
        Fail(line, std::string(what) + " \"" + std::string(word) + "\" is not a number");
    if (value < lo || value > hi)
        Fail(line, std::string(what) + " " + std::to_string(value) + " is not in " + std::to_string(lo) +
                       ".." + std::to_string(hi));
    return value;
}

int ModifierBit(int key) {
    switch (key) {
    case KEY_SHIFT:
    case KEY_LEFT_SHIFT:
    case KEY_RIGHT_SHIFT:
        return MODIFIER_SHIFT;
    case KEY_CONTROL:
    case KEY_LEFT_CONTROL:
    case KEY_RIGHT_CONTROL:
        return MODIFIER_CONTROL;
    case KEY_ALT:
    case KEY_LEFT_ALT:
    case KEY_RIGHT_ALT:
        return MODIFIER_OPTION;
    case KEY_LEFT_SYSTEM:
    case KEY_RIGHT_SYSTEM:
        return MODIFIER_SYSTEM;
    default:
        return 0;
    }
}

} // namespace

TInputScript ParseInputScript(std::string_view text) {
    TInputScript script;
    int line_no = 0;
    int last_frame = 1;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto words = Split(line);
        if (words.empty() || words[0].front() == '#') continue;

        TScriptEvent ev;
        ev.line = line_no;
        ev.frame = Number(words[0], 1, 1 << 30, line_no, "frame");
        if (ev.frame < last_frame)
            Fail(line_no,
                 "frame " + std::to_string(ev.frame) + " comes after frame " + std::to_string(last_frame));
        last_frame = ev.frame;
        if (words.size() < 2) Fail(line_no, "no event after the frame");
        const std::string_view name = words[1];
        std::size_t args = 0;
        if (name == "key-down" || name == "key-up") {
            ev.kind = name == "key-down" ? TScriptEvent::Kind::KeyDown : TScriptEvent::Kind::KeyUp;
            args = 1;
        } else if (name == "joypads") {
            ev.kind = TScriptEvent::Kind::Joypads;
            args = 1;
        } else if (name == "joy-down" || name == "joy-up") {
            ev.kind = name == "joy-down" ? TScriptEvent::Kind::JoyDown : TScriptEvent::Kind::JoyUp;
            args = 2;
        } else {
            Fail(line_no, "unknown event \"" + std::string(name) + "\"");
        }
        if (words.size() != 2 + args)
            Fail(line_no, "\"" + std::string(name) + "\" takes " + std::to_string(args) + " argument" +
                              (args == 1 ? "" : "s") + ", not " + std::to_string(words.size() - 2));
        switch (ev.kind) {
        case TScriptEvent::Kind::KeyDown:
        case TScriptEvent::Kind::KeyUp:
            ev.a = Number(words[2], 1, 255, line_no, "key code");
            break;
        case TScriptEvent::Kind::Joypads:
            ev.a = Number(words[2], 0, 4, line_no, "joypad count");
            break;
        case TScriptEvent::Kind::JoyDown:
        case TScriptEvent::Kind::JoyUp:
            ev.a = Number(words[2], 0, TScriptedJoypadBackend::PORTS - 1, line_no, "joypad port");
            ev.b = Number(words[3], 0, 15, line_no, "button");
            break;
        }
        script.events.push_back(ev);
    }
    return script;
}

TInputScript LoadInputScript(const std::string& path) {
    // A directory opens as a stream on Linux and reads as nothing at all.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw TInputScriptError("cannot be read");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TInputScriptError("cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw TInputScriptError("cannot be read");
    return ParseInputScript(text.str());
}

void TScriptedSystemDriver::Push(int id, int data) {
    queue_.push_back({id, data});
}

void TScriptedSystemDriver::Poll() {
    // Events a hook pushes while this runs wait for the next pump, as they
    // would in a real event queue read to its end once.
    std::size_t n = queue_.size();
    while (n-- > 0 && !queue_.empty()) {
        const TQueued q = queue_.front();
        queue_.pop_front();
        if ((q.id == EVENT_KEYDOWN || q.id == EVENT_KEYUP) && q.data >= 0 && q.data < 256 &&
            ModifierBit(q.data)) {
            modifier_down_[q.data] = q.id == EVENT_KEYDOWN;
            int mask = 0;
            for (int k = 0; k < 256; ++k)
                if (modifier_down_[k]) mask |= ModifierBit(k);
            SetCurrentModifiers(mask);
        }
        EmitSystemEvent(q.id, nullptr, q.data);
    }
}

void TScriptedJoypadBackend::SetPresent(int count) {
    present_ = count < 0 ? 0 : count;
}

void TScriptedJoypadBackend::SetButton(int port, int button, bool down) {
    if (port < 0 || port >= PORTS || button < 0 || button >= 32) return;
    if (down)
        buttons_[port] |= 1u << button;
    else
        buttons_[port] &= ~(1u << button);
}

bool TScriptedJoypadBackend::Caps(int port, TJoypadCaps& caps) {
    if (port < 0 || port >= present_ || port >= PORTS) return false;
    caps = TJoypadCaps{};
    caps.name = "Scripted Joypad " + std::to_string(port + 1);
    caps.buttons = 16;
    caps.axes = 2;
    caps.hat = false;
    return true;
}

bool TScriptedJoypadBackend::Read(int port, TJoypadRaw& raw) {
    if (port < 0 || port >= present_ || port >= PORTS) return false;
    raw = TJoypadRaw{};
    raw.buttons = buttons_[port];
    // Sticks at rest in the middle of their range.
    raw.axis_pos[0] = raw.axis_pos[1] = 32768;
    return true;
}

TScriptedInput::TScriptedInput(TInputScript script)
    : script_(std::move(script)), driver_(std::make_shared<TScriptedSystemDriver>()),
      joypads_(std::make_shared<TScriptedJoypadBackend>()) {}

void TScriptedInput::Install() {
    UseSystemDriver(driver_);
    UseJoypadBackend(joypads_);
}

int TScriptedInput::LastFrame() const {
    return script_.events.empty() ? 0 : script_.events.back().frame;
}

void TScriptedInput::DeliverFrame(int frame) {
    while (next_ < script_.events.size() && script_.events[next_].frame <= frame) {
        const TScriptEvent& ev = script_.events[next_++];
        switch (ev.kind) {
        case TScriptEvent::Kind::KeyDown:
            // Repeats are judged by what the script holds, not by what the
            // game remembers: a key the game forgot stays up for it.
            driver_->Push(key_held_[ev.a] ? EVENT_KEYREPEAT : EVENT_KEYDOWN, ev.a);
            key_held_[ev.a] = true;
            break;
        case TScriptEvent::Kind::KeyUp:
            driver_->Push(EVENT_KEYUP, ev.a);
            key_held_[ev.a] = false;
            break;
        case TScriptEvent::Kind::Joypads:
            joypads_->SetPresent(ev.a);
            break;
        case TScriptEvent::Kind::JoyDown:
            joypads_->SetButton(ev.a, ev.b, true);
            break;
        case TScriptEvent::Kind::JoyUp:
            joypads_->SetButton(ev.a, ev.b, false);
            break;
        }
    }
}
