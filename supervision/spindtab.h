// The spindle speed table of a machine with a stepped spindle drive, and the machine types that
// do not run block by block.
#pragma once

#include <cstdint>

// The number of speed steps a spindle table holds.
inline constexpr int kSpindelStufen = 128;

// Reads SPIND.TAB from the drive and folder of path (the file name part of path is ignored):
// 128 lines, line i holding the step number i and the speed of step i, speeds not decreasing.
// Lines after the 128th are not read. table (128 floats) keeps every speed read, up to and
// including a faulty line. Returns 0, or
//   3110 the file cannot be opened,
//   3111 a line is not a step number and a speed, or the file ends before 128 lines,
//   3112 a speed is less than the one before (or below 0 on the first line),
//   3113 a step number is not its line's index.
int16_t LadeSPINDTab(const char* path, float* table);

// Clears *flag for the machine types that run without the live block display (1, 4, 9, 22, 25,
// 30); leaves it for every other type. Always 0.
int32_t LoescheSatzweise(int32_t maschTyp, int16_t* flag);
