#pragma once
#include <string>

// The frame log: one line for every paced frame (each Flip(-1)), for measuring
// how smoothly the game runs on a machine. Each line holds four numbers
// separated by spaces:
//   frame    the frame's number, counting every Flip(-1) from 1;
//   flip_us  when its Flip(-1) returned, in microseconds of a monotonic clock;
//   shown    1 when the frame was drawn and presented, 0 when it was dropped;
//   cpu_us   the CPU time the whole process (every thread, the GL
//            rasteriser's included) used since the previous line's flip
//            returned (for the first line: since the log was opened).
// The first line is a comment starting with '#' that names the columns. Lines
// are written as they come, so the log is complete however the game ends.

// Starts a log in the file at `path` (replacing it), closing any log open
// before. False when the file cannot be written; no log is kept then.
bool OpenFrameLog(const std::string& path);
void CloseFrameLog();
bool FrameLogOpen();

// Writes the line of a frame whose Flip(-1) is returning (the display module
// calls it). Does nothing while no log is open.
void LogFrame(long frame, bool shown);
