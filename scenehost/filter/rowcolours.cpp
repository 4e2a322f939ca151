#include "rowcolours.h"

#include <cmath>
#include <utility>

namespace {

double Channel(unsigned value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(unsigned rgb)
{
    return 0.2126 * Channel(rgb & 0xFF) + 0.7152 * Channel((rgb >> 8) & 0xFF) +
           0.0722 * Channel((rgb >> 16) & 0xFF);
}

// a moved toward b by the given share (0..1).
unsigned Blend(unsigned a, unsigned b, double share)
{
    unsigned out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double from = (a >> shift) & 0xFF;
        const double to = (b >> shift) & 0xFF;
        out |= static_cast<unsigned>(std::lround(from + (to - from) * share)) << shift;
    }
    return out;
}

}  // namespace

double ContrastRatio(unsigned rgb1, unsigned rgb2)
{
    double light = Luminance(rgb1);
    double dark = Luminance(rgb2);
    if (light < dark) std::swap(light, dark);
    return (light + 0.05) / (dark + 0.05);
}

unsigned InactiveSelectionFill(unsigned highlight, unsigned background)
{
    for (int step = 5; step >= 0; --step) {
        const unsigned fill = Blend(highlight, background, step / 10.0);
        if (ContrastRatio(fill, background) >= 3.0) return fill;
    }
    // A highlight too close to the background is darkened or lightened away from it.
    const unsigned away = Luminance(background) > 0.5 ? 0x000000 : 0xFFFFFF;
    for (int step = 1; step <= 10; ++step) {
        const unsigned fill = Blend(highlight, away, step / 10.0);
        if (ContrastRatio(fill, background) >= 3.0) return fill;
    }
    return away;
}

unsigned TextColourOn(unsigned fill)
{
    return ContrastRatio(fill, 0x000000) >= ContrastRatio(fill, 0xFFFFFF) ? 0x000000 : 0xFFFFFF;
}
