#include "ps_timing_math.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
// Clock rates processors were sold at, in MHz, in ascending order.
const int kNominalMHz[] = {60,   66,   75,   90,   100,  120,  133,  150,  166,  185,  200,  220,  240,
                           266,  300,  333,  400,  450,  500,  530,  550,  600,  800,  1000, 1400, 1700,
                           1800, 1900, 2000, 2200, 2260, 2400, 2500, 2530, 2600, 2660, 2800, 3060};
const int kNominalCount = sizeof(kNominalMHz) / sizeof(kNominalMHz[0]);
} // namespace

double computeAccuracy(double a, double b)
{
    double sum = a + b;
    if (sum == 0) return 0;
    return std::fabs(a - b) * 2 / sum;
}

double computeAccuracy(const double* values, int n)
{
    if (values == nullptr || n <= 0) return 0;
    double mean = 0;
    for (int i = 0; i < n; ++i) mean += values[i];
    mean /= n;
    if (mean == 0) return 0;
    double worst = 0;
    for (int i = 0; i < n; ++i) {
        double distance = std::fabs(values[i] - mean) / mean;
        if (distance > worst) worst = distance;
    }
    return worst;
}

double computeBest(const double* values, int n)
{
    if (values == nullptr || n <= 0) return 0;
    double best = values[0];
    for (int i = 1; i < n; ++i)
        if (values[i] < best) best = values[i];
    return best;
}

int roundUpToPow2(int x)
{
    if (x <= 0 || x > (1 << 30)) return x;
    int p = 1;
    while (p < x) p <<= 1;
    return p;
}

psString accuracyText(double accuracy)
{
    double percent = accuracy * 100;
    char text[64];
    snprintf(text, sizeof(text), percent < 0.1 ? "%.2f%c" : "%.1f%c", percent, '%');
    return psString(text);
}

psString clockText(long long clocks)
{
    double x = (double)clocks;
    psString zeros;
    while (x > 2147483647.0) {
        x *= 0.1;
        zeros += '0';
    }
    psString text;
    text << (long long)x;
    return text + zeros;
}

int frequencyFromSamples(long long sample1, long long sample2)
{
    float sum = (float)sample1;
    sum += (float)sample2;
    return (int)(sum / 1e6 / 2.0);
}

int nominalFrequency(int measuredMHz)
{
    if (measuredMHz <= 0) return measuredMHz;
    int bestDistance = 1000;
    int best = kNominalMHz[0];
    for (int i = 0; i < kNominalCount; ++i) {
        int distance = std::abs(kNominalMHz[i] - measuredMHz);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = kNominalMHz[i];
        }
    }
    return (double)bestDistance / measuredMHz < 0.03 ? best : measuredMHz;
}

const int* nominalFrequencies(int* count)
{
    if (count) *count = kNominalCount;
    return kNominalMHz;
}
