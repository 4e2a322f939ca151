// The colours of the node list's rows, as 0xBBGGRR. Plain C++.
#pragma once

// Contrast as the WCAG defines it, from 1 (none) to 21.
double ContrastRatio(unsigned rgb1, unsigned rgb2);
// A fill for selected rows of a list without the focus: the highlight softened toward the
// background while it keeps a contrast of at least 3:1 with it.
unsigned InactiveSelectionFill(unsigned highlight, unsigned background);
// Black or white, whichever reads better on fill.
unsigned TextColourOn(unsigned fill);
