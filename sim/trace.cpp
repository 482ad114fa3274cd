#include "sim/trace.h"

#include <cmath>
#include <memory>

#include "audio/sound_log.h"
#include "game/bubble.h"
#include "game/effects.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/player.h"
#include "platform/clock.h"
#include "platform/float_text.h"
#include "platform/random.h"

namespace {

void Key(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
}

void Int(std::string& out, const char* key, long value) {
    Key(out, key);
    out += std::to_string(value);
    out += ',';
}

void Float(std::string& out, const char* key, float value) {
    Key(out, key);
    JsonFloat(out, value);
    out += ',';
}

void Str(std::string& out, const char* key, const std::string& value) {
    Key(out, key);
    JsonString(out, value);
    out += ',';
}

// Replaces the trailing comma of an object's last member with the closing brace.
void Close(std::string& out, char bracket) {
    if (!out.empty() && out.back() == ',')
        out.back() = bracket;
    else
        out += bracket;
}

const char* SoundName(const TSound* s) {
    if (s == nullptr) return "unknown";
    if (s == snd_fiddle.get()) return "fiddle";
    if (s == snd_pop.get()) return "pop";
    if (s == snd_click.get()) return "click";
    if (s == snd_blip.get()) return "blip";
    return "unknown";
}

void Player(std::string& out, const TPlayer& p) {
    out += '{';
    Int(out, "x", p.x);
    Int(out, "y", p.y);
    Int(out, "dx", p.dx);
    Int(out, "dy", p.dy);
    Int(out, "charge", p.charge);
    Int(out, "score", p.score);
    Int(out, "score_index", p.score_index);
    Int(out, "score_y", p.score_y);
    Int(out, "human", p.human);
    Int(out, "catchup", p.catchup);
    Str(out, "result", p.result);
    Close(out, '}');
}

void Bubble(std::string& out, const TBubble& b) {
    out += '{';
    Float(out, "x", b.x);
    Float(out, "y", b.y);
    Float(out, "dx", b.dx);
    Float(out, "dy", b.dy);
    Int(out, "size", b.size);
    Int(out, "fadein", b.fadein);
    Int(out, "owned", b.owned);
    Int(out, "owntime", b.owntime);
    Int(out, "wobble", b.wobble);
    Close(out, '}');
}

void Particle(std::string& out, const TParticle& p) {
    out += '{';
    if (auto* t = dynamic_cast<const TTextLine*>(&p)) {
        Str(out, "kind", "text");
        Float(out, "y", t->y);
        Str(out, "text", t->text);
    } else if (auto* r = dynamic_cast<const TRing*>(&p)) {
        Str(out, "kind", "ring");
        Float(out, "x", r->x);
        Float(out, "y", r->y);
        Float(out, "alpha", r->alpha);
        Int(out, "index", r->index);
        Float(out, "scale", r->scale);
        Float(out, "scale2", r->scale2);
        Str(out, "s_text", r->s_text);
        Int(out, "s_col", r->s_col);
    } else if (auto* g = dynamic_cast<const TLaserAfterglow*>(&p)) {
        Str(out, "kind", "glow");
        Float(out, "x", g->x);
        Float(out, "y", g->y);
        Float(out, "x2", g->x2);
        Float(out, "y2", g->y2);
        Float(out, "alpha", g->alpha);
        Int(out, "index", g->index);
    } else {
        Str(out, "kind", p.Kind());
    }
    Close(out, '}');
}

} // namespace

void JsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void JsonFloat(std::string& out, float value) {
    // JSON has no infinities or NaN; none of the traced fields should ever hold one.
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    AppendShortestFloat(out, value);
}

std::string TraceHeader(int seed, int clock) {
    return "{\"seed\":" + std::to_string(seed) + ",\"clock\":" + std::to_string(clock) + "}";
}

std::string TraceFrame(long k) {
    std::string out;
    out.reserve(4096);
    out += '{';
    Int(out, "f", k);
    Str(out, "screen", ScreenName(game_screen));
    Int(out, "clock", ClockMillis());
    Int(out, "rng", GetRandomSeed());
    Int(out, "attract_mode", attract_mode);
    Int(out, "seconds", seconds);
    Int(out, "countdown_end", countdown_end);
    Int(out, "option_sel", option_sel);
    Int(out, "hold_count", hold_count);
    Int(out, "logo_count", logo_count);
    Float(out, "fade", fade);
    Int(out, "round_length", round_length);
    Int(out, "cpu_active", cpu_active);
    Int(out, "catchup_active", catchup_active);
    Int(out, "melody_pos", melody_pos);

    Key(out, "humans");
    out += '[';
    for (int n = 1; n <= 4; ++n) {
        out += std::to_string(humans[n]);
        out += ',';
    }
    Close(out, ']');
    out += ',';

    Key(out, "players");
    out += '[';
    for (int n = 1; n <= 4; ++n) {
        if (players[n]) {
            Player(out, *players[n]);
        } else {
            out += "null";
        }
        out += ',';
    }
    Close(out, ']');
    out += ',';

    Key(out, "bubbles");
    out += '[';
    for (const auto& b : bubbles.Items()) {
        Bubble(out, *b);
        out += ',';
    }
    Close(out, ']');
    out += ',';

    Key(out, "particles");
    out += '[';
    for (const auto& p : particles.Items()) {
        Particle(out, *p);
        out += ',';
    }
    Close(out, ']');
    out += ',';

    Key(out, "sounds");
    out += '[';
    for (const TSoundLogEntry& e : SoundLogDrain()) {
        out += '{';
        Str(out, "snd", SoundName(e.sound));
        Float(out, "rate", e.rate);
        Float(out, "pan", e.pan);
        Float(out, "volume", e.volume);
        Close(out, '}');
        out += ',';
    }
    Close(out, ']');
    out += '}';
    return out;
}

TTraceWriter::~TTraceWriter() {
    Close();
}

bool TTraceWriter::Open(const std::string& path) {
    Close();
    failed_ = false;
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void TTraceWriter::WriteLine(const std::string& line) {
    if (!file_) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fputc('\n', file_) == EOF)
        failed_ = true;
}

bool TTraceWriter::Close() {
    if (file_) {
        if (std::fclose(file_) != 0) failed_ = true;
        file_ = nullptr;
    }
    return !failed_;
}
