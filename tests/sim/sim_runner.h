#pragma once
// Runs zaptomania-sim as a separate process (each run is a fresh game) and
// reads back its exit status, output and trace.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/json_lite.h"
#include "support/test_support.h"

struct SimRun {
    int status = -1;
    std::string out;
    std::string err;
    JValue header;
    std::vector<JValue> frames; // frames[i] is game frame i + 1

    const JValue& Frame(long k) const { return frames.at(static_cast<std::size_t>(k - 1)); }
    // First frame (1-based) at or after `from` whose record satisfies pred; 0 if none.
    template <class Pred> long Find(Pred pred, long from = 1) const {
        for (long k = from; k <= static_cast<long>(frames.size()); ++k)
            if (pred(Frame(k))) return k;
        return 0;
    }
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline std::string SimTempDir(const std::string& name) {
    std::string dir = BinaryDir() + "/sim-test-tmp/" + name;
    std::filesystem::create_directories(dir);
    return dir;
}

// args: extra command-line arguments (already quoted where needed). script:
// the input script text, or empty for none. trace: whether to ask for one.
inline SimRun RunSim(const std::string& name, const std::string& args, const std::string& script = "",
                     bool trace = true) {
    const std::string dir = SimTempDir(name);
    std::string cmd = "'" + BinaryDir() + "/zaptomania-sim' " + args;
    if (!script.empty()) {
        std::ofstream(dir + "/input.txt") << script;
        cmd += " --input '" + dir + "/input.txt'";
    }
    if (trace) cmd += " --trace '" + dir + "/trace.jsonl'";
    std::filesystem::remove(dir + "/trace.jsonl");
    cmd += " >'" + dir + "/out.txt' 2>'" + dir + "/err.txt'";
    SimRun r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadFile(dir + "/out.txt");
    r.err = ReadFile(dir + "/err.txt");
    if (trace) {
        std::ifstream f(dir + "/trace.jsonl");
        std::string line;
        bool first = true;
        while (std::getline(f, line)) {
            if (line.empty()) continue;
            if (first) {
                r.header = ParseJson(line);
                first = false;
            } else {
                r.frames.push_back(ParseJson(line));
            }
        }
    }
    return r;
}
