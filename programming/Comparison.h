// Where a chip and the image it should hold part.
#pragma once

#include <windows.h>

#include <vector>

struct Comparison
{
    size_t differing = 0;
    size_t firstOffset = 0;
    BYTE expected = 0;
    BYTE actual = 0;
};

inline Comparison Compare(const std::vector<BYTE>& image, const std::vector<BYTE>& chip)
{
    Comparison comparison;
    for (size_t offset = 0; offset < image.size() && offset < chip.size(); ++offset)
    {
        if (image[offset] == chip[offset])
        {
            continue;
        }
        if (comparison.differing++ == 0)
        {
            comparison.firstOffset = offset;
            comparison.expected = image[offset];
            comparison.actual = chip[offset];
        }
    }
    return comparison;
}
