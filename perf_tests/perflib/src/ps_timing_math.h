// Arithmetic over measured figures: how close figures agree, which one to keep, how far to scale a
// loop count, and how to round a frequency estimate. No clock is read and nothing is printed here.
#ifndef PS_TIMING_MATH_H
#define PS_TIMING_MATH_H

#include "ps_string.h"

// Relative difference of two figures, |a - b| * 2 / (a + b); 0 when both are 0.
double computeAccuracy(double a, double b);
// Largest relative distance of a value from the mean of the n values; 0 for no values or a mean
// of 0.
double computeAccuracy(const double* values, int n);
// The smallest of the n values (the first of equal ones); 0 for no values.
double computeBest(const double* values, int n);
// The smallest power of two not below x; 0 and values above 2^30 come back unchanged, as do
// negative values.
int roundUpToPow2(int x);

// An accuracy fraction as a percentage: "%.2f%%" below 0.1 percent, else "%.1f%%".
psString accuracyText(double accuracy);
// A clock count that fits an int: larger counts are divided by ten, once per trailing "0".
psString clockText(long long clocks);

// The frequency estimate of two counter samples, each taken over one second: their mean in MHz,
// summed in single precision.
int frequencyFromSamples(long long sample1, long long sample2);
// The nominal frequency nearest to a measured one when it lies within 3% of it, else the measured
// value.
int nominalFrequency(int measuredMHz);
// The table nominalFrequency rounds to.
const int* nominalFrequencies(int* count);

#endif
