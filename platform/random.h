#pragma once

// The program's one pseudo-random generator (Lehmer, multiplier 48271,
// modulus 2^31 - 1). Its state belongs to the game's thread.
void SetRandomSeed(int seed);
int GetRandomSeed();
float RandomUnitFloat();
double RandomUnit();
double RandomReal(double a, double b);
int RandomInt(int a, int b);
