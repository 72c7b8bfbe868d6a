// A small STEP model with every kind of colour and an assembly, written with
// OCCT, and what the adapter must make of it.
#ifndef TESTS_OCCT_MODEL_FIXTURE_H
#define TESTS_OCCT_MODEL_FIXTURE_H

#include <string>

namespace occttest {

// Parts, in order: "block" twice (an assembly's two instances, the second
// moved by (0, 50, 0) and turned a quarter about z; product colour red, face
// 1 green), then the two solids of product "pair" (a 10 mm cube coloured blue
// as a solid, a cylinder with one face coloured yellow).
void writeColoredModel(const std::string& path, const char* unit = "MM");

}  // namespace occttest

#endif
