#include "tess/color_groups.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool hasNaN(const MvVec4<float>& c) {
  return std::isnan(c[0]) || std::isnan(c[1]) || std::isnan(c[2]) || std::isnan(c[3]);
}

// Hash of the four components; -0 is hashed as +0 because the two compare
// equal.
std::uint64_t hashColor(const MvVec4<float>& c) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL;
  for (int k = 0; k < 4; ++k) {
    const float f = c[k] == 0.0f ? 0.0f : c[k];
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    h = (h ^ bits) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
  }
  return h;
}

// Slots for `count` keys at most half full: a power of two, at least 8.
// count fits an MvAVec of colours, so the result fits an MvVec of ints.
int tableSize(int count) {
  long long size = 8;
  while (size < 2LL * count) size <<= 1;
  return static_cast<int>(size);
}

}  // namespace

namespace mvkm {

unsigned groupByColor(const MvAVec<MvVec4<float>>& colors, MvAVec<MvVec4<float>>& colorArray,
                      MvAVec<MvIVec<int>>& faceColorMap) {
  const int count = colors.length();
  if (count == 0) return 1;

  // First pass: the group of every colour. Table slots hold group + 1, 0
  // marks a free slot; colours with a NaN never enter the table.
  MvVec<int> table;
  MvVec<int> groupOf;
  MvVec<int> groupSize;
  if (!table.setLength(tableSize(count)) || !groupOf.setLength(count)) return 0;
  int* const slots = table.ptr();
  const std::uint64_t mask = static_cast<std::uint64_t>(table.length()) - 1;
  const int firstNew = colorArray.length();
  for (int i = 0; i < count; ++i) {
    const MvVec4<float>& color = colors[i];
    int group = -1;
    int* freeSlot = nullptr;
    if (!hasNaN(color)) {
      for (std::uint64_t s = hashColor(color) & mask;; s = (s + 1) & mask) {
        if (slots[s] == 0) {
          freeSlot = &slots[s];
          break;
        }
        if (colorArray.ptr()[firstNew + slots[s] - 1] == color) {
          group = slots[s] - 1;
          break;
        }
      }
    }
    if (group < 0) {
      group = groupSize.length();
      if (!colorArray.append(color) || !groupSize.append(0)) return 0;
      if (freeSlot) *freeSlot = group + 1;
    }
    groupOf.ptr()[i] = group;
    ++groupSize.ptr()[group];
  }

  // Second pass: each group's list gets its exact size once, then the
  // indices in ascending order.
  const int groups = groupSize.length();
  const int firstList = faceColorMap.length();
  if (!faceColorMap.setLength(firstList + groups)) return 0;
  MvIVec<int>* const lists = faceColorMap.ptr() + firstList;
  int* const filled = groupSize.ptr();
  for (int g = 0; g < groups; ++g) {
    if (!lists[g].setLength(filled[g])) return 0;
    filled[g] = 0;
  }
  for (int i = 0; i < count; ++i) {
    const int group = groupOf.ptr()[i];
    lists[group].ptr()[filled[group]++] = i;
  }
  return 1;
}

}  // namespace mvkm
