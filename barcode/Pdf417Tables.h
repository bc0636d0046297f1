#pragma once

#include <array>
#include <cstdint>

// Bar-space patterns of the 929 codewords in clusters 0, 3 and 6 (index 0, 1, 2):
// the eight element widths in modules as decimal digits, first digit a bar.
extern const std::array<std::array<uint32_t, 929>, 3> kPdf417Clusters;
