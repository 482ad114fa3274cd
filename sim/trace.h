#pragma once
#include <cstdio>
#include <string>

// The simulator's JSON Lines trace: one header line with the seed and the
// clock, then one line per game frame with the game's whole state (screen,
// counters, options, players, bubbles, effects and the sounds started in the
// frame). The field names are a public interface: tools and bug reports read them.

// Appends a JSON string literal (quoted and escaped) to out.
void JsonString(std::string& out, const std::string& text);
// Appends a float in its shortest form that reads back to the same float.
void JsonFloat(std::string& out, float value);

// The header line, without the newline.
std::string TraceHeader(int seed, int clock);
// The record of game frame k as it stands now, without the newline. Drains
// the sound log (the sounds started since the previous record).
std::string TraceFrame(long k);

class TTraceWriter {
  public:
    TTraceWriter() = default;
    ~TTraceWriter();
    TTraceWriter(const TTraceWriter&) = delete;
    TTraceWriter& operator=(const TTraceWriter&) = delete;

    // Opens (truncates) the file; false when it cannot be written.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    void WriteLine(const std::string& line);
    // Closes the file; false when any line could not be written (a full disk).
    bool Close();

  private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};
