#pragma once

// The common face of the mixer and of one playing voice: four parameter
// setters and their getters, in the mixer's fixed point (rate 16.16, volume,
// pan and depth 4.12). The base keeps nothing: setters are ignored and the
// getters report the neutral values.
class output {
  public:
    virtual ~output() = default;
    virtual void setrate(int rate);
    virtual void setvolume(int volume);
    virtual void setpan(int pan);
    virtual void setdepth(int depth);
    // which: 0 the value in use now, otherwise the value being ramped to.
    virtual int rate(int which);
    virtual int volume(int which);
    virtual int pan(int which);
    virtual int depth(int which);
    // Frames played so far.
    virtual int position();
};
