// Models made in code for the demo and the benchmarks: an angle bracket with
// a fillet, three holes and coloured faces, and a grid of such brackets.
#ifndef KOCCTAPP_DEMO_BRACKET_H
#define KOCCTAPP_DEMO_BRACKET_H

#include <vector>

#include "kocct/kernel.h"

namespace kocctapp {

// Two parts: the bracket (steel blue, its hole faces red, its top face
// orange) and a pin (green) standing in one of its holes.
std::vector<kocct::Part> bracketParts();
// rows x columns brackets (two parts each) 120 mm apart, all sharing the
// geometry of one bracket and one pin.
std::vector<kocct::Part> bracketGrid(int rows, int columns);

}  // namespace kocctapp

#endif
