// An hour of play in virtual time: players join and leave, hold the options
// open and tap their switches through rounds. The game must run it through
// without failing (ESC is left to the simulator tests: in the attract screen
// it would end the run).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <utility>
#include <vector>
#include <string>

#include "sim/sim_runner.h"

namespace {

std::string BusyScript(long frames) {
    // Events are made out of order (a release lands after later presses), then sorted by frame.
    std::vector<std::pair<long, std::string>> events;
    std::string s;
    uint32_t state = 12345;
    auto next = [&](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    const int keys[] = {32, 13, 49, 109};
    s += "1 joypads 2\n";
    for (long f = 2; f < frames - 400; f += 20 + static_cast<long>(next(200))) {
        const uint32_t what = next(100);
        if (what < 70) {
            const int key = keys[next(4)];
            s += std::to_string(f) + " key-down " + std::to_string(key) + "\n";
            s +=
                std::to_string(f + 1 + static_cast<long>(next(80))) + " key-up " + std::to_string(key) + "\n";
        } else if (what < 85) {
            const int port = static_cast<int>(next(3)); // port 2 is absent: its presses wait
            const int button = static_cast<int>(next(5));
            s +=
                std::to_string(f) + " joy-down " + std::to_string(port) + " " + std::to_string(button) + "\n";
            s += std::to_string(f + 2 + static_cast<long>(next(90))) + " joy-up " + std::to_string(port) +
                 " " + std::to_string(button) + "\n";
        } else {
            // Hold P1 long enough to open the options menu.
            s += std::to_string(f) + " key-down 32\n" +
                 std::to_string(f + 60 + static_cast<long>(next(100))) + " key-up 32\n";
            f += 160;
        }
    }
    std::istringstream lines(s);
    std::string line;
    while (std::getline(lines, line))
        events.emplace_back(std::stol(line), line);
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& e : events)
        out += e.second + "\n";
    return out;
}

TEST(SoakScreens, AnHourOfBusyPlayRunsThrough) {
    const long frames = 50L * 3600;
    // No trace: an hour of records would run to hundreds of megabytes.
    SimRun r = RunSim("soak_hour", "--frames " + std::to_string(frames), BusyScript(frames), false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
}

} // namespace
