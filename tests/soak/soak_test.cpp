// Two hours of play in virtual time: attract screens and rounds, players
// joining, tapping, holding the options open and leaving, joypads coming and
// going, all scripted from a fixed seed. The simulator runs with the null
// renderer and the virtual audio device; the test reads its trace as it is
// written (a pipe: two hours of records are over a gigabyte) and its --stats
// lines, and checks that nothing piles up: bubbles, effects, sounds, voices,
// channel handles and resident memory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_runner.h"

namespace {

constexpr long FRAMES = 50L * 7200; // two hours at 50 frames a second

// The input script. ESC is left out: in the attract screen it would end the run.
std::string SoakScript(long frames, uint32_t seed) {
    std::vector<std::pair<long, std::string>> events;
    uint32_t state = seed;
    auto next = [&](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    auto add = [&](long f, const std::string& what) {
        if (f < frames - 10) events.emplace_back(f, what);
    };
    const int keys[] = {32, 13, 49, 109};
    add(1, "joypads 2");
    long f = 2;
    while (f < frames - 400) {
        const uint32_t phase = next(100);
        if (phase < 20) {
            // Nobody touches anything for 20 to 90 s: the attract screen cycles
            // its pages, or a round plays on with whoever is in it.
            f += 1000 + static_cast<long>(next(3500));
        } else if (phase < 30) {
            // A joypad is plugged in or pulled out.
            add(f, "joypads " + std::to_string(next(5)));
            f += 10 + static_cast<long>(next(100));
        } else if (phase < 40) {
            // Player 1 holds the switch long enough to open the options menu.
            const long up = f + 60 + static_cast<long>(next(100));
            add(f, "key-down 32");
            add(up, "key-up 32");
            f = up + 20 + static_cast<long>(next(200));
        } else {
            // A burst of taps: players joining or leaving, or bases turning in a
            // round, some held through a few frames, from keys and joypads.
            const int taps = 1 + static_cast<int>(next(12));
            for (int i = 0; i < taps; ++i) {
                const long up = f + 1 + static_cast<long>(next(12));
                if (next(4) == 0) {
                    const std::string pb = std::to_string(next(4)) + " " + std::to_string(next(4));
                    add(f, "joy-down " + pb);
                    add(up, "joy-up " + pb);
                } else {
                    const std::string k = std::to_string(keys[next(4)]);
                    add(f, "key-down " + k);
                    add(up, "key-up " + k);
                }
                f += 3 + static_cast<long>(next(60));
            }
            f += 20 + static_cast<long>(next(300));
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& e : events)
        out += std::to_string(e.first) + " " + e.second + "\n";
    return out;
}

// The number of elements of the array under key in one trace record, found by
// scanning rather than parsing (a full parse of every record would dominate
// the run). Strings are skipped, so brackets in texts do not count. -1 when
// the key is missing.
long CountArray(const std::string& line, const std::string& key) {
    std::size_t p = line.find("\"" + key + "\":[");
    if (p == std::string::npos) return -1;
    p += key.size() + 4;
    int depth = 0;
    long count = 0;
    bool empty = true;
    for (; p < line.size(); ++p) {
        const char c = line[p];
        if (c == '"') {
            for (++p; p < line.size() && line[p] != '"'; ++p)
                if (line[p] == '\\') ++p;
            empty = false;
        } else if (c == '[' || c == '{') {
            if (depth == 0) ++count;
            ++depth;
            empty = false;
        } else if (c == ']' || c == '}') {
            if (depth == 0) return empty ? 0 : count;
            --depth;
        } else if (c != ' ' && depth == 0 && c != ',') {
            // A bare element (a number): counted at its first character.
            if (empty || line[p - 1] == ',') ++count;
            empty = false;
        }
    }
    return -1; // unterminated
}

std::string ScreenOf(const std::string& line) {
    const std::size_t p = line.find("\"screen\":\"");
    if (p == std::string::npos) return "";
    const std::size_t q = line.find('"', p + 10);
    return line.substr(p + 10, q - p - 10);
}

long FrameOf(const std::string& line) {
    const std::size_t p = line.find("\"f\":");
    return p == std::string::npos ? -1 : std::strtol(line.c_str() + p + 4, nullptr, 10);
}

struct TPeaks {
    long bubbles = 0, particles = 0, sounds = 0;
};

TEST(Soak, CountArrayAgreesWithTheJsonReader) {
    const std::string line =
        R"({"f":3,"a":[],"b":[1,2.5,-3],"particles":[{"kind":"text","y":1,"text":"[{]},\""},)"
        R"({"kind":"ring","s_text":"}"}],"sounds":[ ]})";
    const JValue v = ParseJson(line);
    for (const char* key : {"a", "b", "particles", "sounds"})
        EXPECT_EQ(CountArray(line, key), static_cast<long>(v[key].Size())) << key;
    EXPECT_EQ(CountArray(line, "bubbles"), -1);
    EXPECT_EQ(CountArray(R"({"bubbles":[{},{})", "bubbles"), -1);
}

TEST(Soak, TwoHoursOfPlayKeepEverythingBounded) {
    const std::string dir = SimTempDir("soak_two_hours");
    std::ofstream(dir + "/input.txt") << SoakScript(FRAMES, 20240611u);
    std::remove((dir + "/stats.jsonl").c_str());
    // The trace comes through the pipe on descriptor 3; the simulator's own
    // output goes to files. The WAV goes nowhere but is mixed and written all the same.
    const std::string cmd = "'" + BinaryDir() + "/zaptomania-sim' --frames " + std::to_string(FRAMES) +
                            " --input '" + dir + "/input.txt' --stats '" + dir +
                            "/stats.jsonl' --wav /dev/null --trace /dev/fd/3 3>&1 >'" + dir +
                            "/out.txt' 2>'" + dir + "/err.txt'";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);

    std::map<std::string, TPeaks> peaks; // by screen
    std::map<std::string, long> frames_on;
    long rounds = 0, attracts = 0, first_round_end = 0, last = 0, parsed = 0, mismatches = 0;
    std::string screen, line;
    char* buf = nullptr;
    std::size_t cap = 0;
    ssize_t n;
    bool header = true;
    while ((n = getline(&buf, &cap, pipe)) > 0) {
        line.assign(buf, static_cast<std::size_t>(n));
        if (header) {
            header = false;
            EXPECT_NE(line.find("\"seed\""), std::string::npos) << line;
            continue;
        }
        const long f = FrameOf(line);
        if (f != last + 1) {
            ADD_FAILURE() << "frame " << f << " after " << last;
            break;
        }
        last = f;
        const std::string now = ScreenOf(line);
        if (now != screen) {
            if (now == "round") ++rounds;
            if (now == "attract") ++attracts;
            if (screen == "round" && first_round_end == 0) first_round_end = f;
            screen = now;
        }
        ++frames_on[now];
        const long bubbles = CountArray(line, "bubbles");
        const long particles = CountArray(line, "particles");
        const long sounds = CountArray(line, "sounds");
        TPeaks& p = peaks[now];
        p.bubbles = std::max(p.bubbles, bubbles);
        p.particles = std::max(p.particles, particles);
        p.sounds = std::max(p.sounds, sounds);
        if (bubbles < 0 || particles < 0 || sounds < 0) ++mismatches;
        // Every 997th record is read in full as well, to keep the scanner honest.
        if (f % 997 == 0) {
            const JValue v = ParseJson(line);
            ++parsed;
            if (v["bubbles"].Size() != static_cast<std::size_t>(bubbles) ||
                v["particles"].Size() != static_cast<std::size_t>(particles) ||
                v["sounds"].Size() != static_cast<std::size_t>(sounds) || v["screen"].str != now)
                ++mismatches;
        }
    }
    std::free(buf);
    const int rc = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << ReadFile(dir + "/err.txt");
    EXPECT_EQ(ReadFile(dir + "/err.txt"), "");
    ASSERT_EQ(last, FRAMES);
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(parsed, 300);

    // The script makes a varied run: many rounds, the attract screen between them.
    EXPECT_GE(rounds, 20);
    EXPECT_GE(attracts, 20);
    EXPECT_GT(frames_on["round"], FRAMES / 4);
    EXPECT_GT(frames_on["attract"], FRAMES / 10);
    ASSERT_GT(first_round_end, 0);

    // Size-1 bubbles come only from a round start (five), from fewer than five
    // being left and from the round clock every ten seconds; each splits into
    // at most four smallest ones. Weighting a bubble by the smallest ones it
    // can become (4, 2, 1), the total is at most 20 when a bubble is added for
    // being short, and each ten-second bubble adds 4: a three-minute round never
    // has more than 20 + 4 * 18 = 92, and the list only empties at a round start.
    // Effects live a few seconds at most; sounds start a few at a time.
    for (const auto& [name, p] : peaks) {
        EXPECT_GE(p.bubbles, 1) << name;
        EXPECT_LE(p.bubbles, 92) << name;
        EXPECT_LE(p.particles, 120) << name;
        EXPECT_LE(p.sounds, 16) << name;
        std::printf("soak: %-9s %7ld frames, peaks: %2ld bubbles, %3ld effects, %2ld sounds in a frame\n",
                    name.c_str(), frames_on[name], p.bubbles, p.particles, p.sounds);
    }
    std::printf("soak: %ld rounds, %ld attract screens, first round over at frame %ld\n", rounds, attracts,
                first_round_end);

    // The --stats lines, every 250 frames.
    std::ifstream stats(dir + "/stats.jsonl");
    std::vector<JValue> rows;
    for (std::string s; std::getline(stats, s);)
        if (!s.empty()) rows.push_back(ParseJson(s));
    ASSERT_EQ(static_cast<long>(rows.size()), FRAMES / 250);
    long rss_after_first_round = -1, rss_mid = -1, rss_max_late = 0, voices_max = 0, playing_max = 0;
    for (const JValue& r : rows) {
        const long f = static_cast<long>(r["f"].num);
        // The game holds no channel from one frame to the next: every handle it
        // took has been given back.
        EXPECT_EQ(r["handles"].Int(), 0) << "frame " << f;
        EXPECT_LE(r["playing"].Int(), r["voices"].Int()) << "frame " << f;
        voices_max = std::max(voices_max, static_cast<long>(r["voices"].num));
        playing_max = std::max(playing_max, static_cast<long>(r["playing"].num));
        const long rss = static_cast<long>(r["rss_kb"].num);
        ASSERT_GT(rss, 0);
        if (rss_after_first_round < 0 && f >= first_round_end) rss_after_first_round = rss;
        if (rss_mid < 0 && f >= FRAMES / 2) rss_mid = rss;
        if (f >= FRAMES / 2) rss_max_late = std::max(rss_max_late, rss);
        if (f % 18000 == 0 || f == rows.front()["f"].num)
            std::printf("soak: frame %6ld (%3ld min): rss %ld kB, peak %ld kB, voices %d, playing %d\n", f,
                        f / 3000, rss, static_cast<long>(r["hwm_kb"].num), r["voices"].Int(),
                        r["playing"].Int());
    }
    // Voices are reused: the mixer makes only as many as ever play at once.
    EXPECT_LE(voices_max, 24);
    // Memory: after the first round the process may still settle a little
    // (allocator pools, a rarer sound overlap needing one more voice), but a
    // leak of even 20 bytes a frame would add 7 MB over the run.
    const long rss_end = static_cast<long>(rows.back()["rss_kb"].num);
    EXPECT_LE(rss_end - rss_after_first_round, 1024)
        << rss_after_first_round << " kB -> " << rss_end << " kB";
    EXPECT_LE(rss_max_late - rss_mid, 256) << rss_mid << " kB -> " << rss_max_late << " kB";
    std::printf("soak: rss %ld kB after the first round, %ld kB at one hour, %ld kB at the end; "
                "voices made %ld, most playing %ld\n",
                rss_after_first_round, rss_mid, rss_end, voices_max, playing_max);
}

} // namespace
