// runbar: runs one shell command and shows its advance on the progress bar,
// one unit for every "." the command writes to its standard output.
#pragma once

#include <cstddef>
#include <cstdio>

extern int fb0; // the frame buffer device

// Advances the bar once per "." in the bytes, in order; other bytes are ignored.
void count_dots(const char* bytes, std::size_t length);

// Reads the job's output as it arrives, counting its dots, until it ends;
// false when a read fails.
bool follow(FILE* job);

// Fills the rest of the bar in random steps and pauses, then draws the end cap.
void complete_bar();

int runbar_main(int argc, char** argv);
