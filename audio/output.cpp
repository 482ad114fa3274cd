#include "audio/output.h"

void output::setrate(int) {}
void output::setvolume(int) {}
void output::setpan(int) {}
void output::setdepth(int) {}
int output::rate(int) {
    return 65536;
}
int output::volume(int) {
    return 4096;
}
int output::pan(int) {
    return 0;
}
int output::depth(int) {
    return 0;
}
int output::position() {
    return 0;
}
