#include "fixes/focuspixellattice.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace mlv2dng {

namespace {

constexpr int kFirstActiveColumn = 72;  // left of it lies the optical-black border

// Rows whose number has residue row modulo rowPeriod hold focus pixels in the columns whose number has
// residue column modulo columnPeriod.
struct Lattice
{
    int rowPeriod;
    int columnPeriod;
    std::array<std::array<int, 2>, 12> residues;  // {row, column}; unused entries are {-1, -1}
};

constexpr Lattice k720{
    12,
    8,
    {{{2, 6}, {3, 5}, {8, 2}, {9, 1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}}};
constexpr Lattice k1080{
    10,
    8,
    {{{0, 0}, {4, 4}, {5, 3}, {9, 7}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}}};
// Family A at 1:1 sampling; the lossless variant repeats every 8 columns, three times as dense.
constexpr Lattice kCrop{60,
                        24,
                        {{{1, 23},
                          {4, 0},
                          {16, 12},
                          {18, 18},
                          {19, 11},
                          {23, 17},
                          {31, 23},
                          {34, 0},
                          {46, 12},
                          {48, 6},
                          {49, 11},
                          {53, 5}}}};
constexpr Lattice kCropLossless{
    60,
    8,
    {{{1, 7}, {4, 0}, {16, 4}, {18, 2}, {19, 3}, {23, 1}, {31, 7}, {34, 0}, {46, 4}, {48, 6}, {49, 3}, {53, 5}}}};
// The 100D at 1:1 sampling.
constexpr Lattice k100D{6,
                        12,
                        {{{0, 6},
                          {1, 11},
                          {4, 0},
                          {5, 5},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1},
                          {-1, -1}}}};

struct Band
{
    const Lattice* lattice;
    int firstRow;
    int lastRow;
    int columnShift;  // the second pass of the lossless crop maps lies one column right of the first
};

std::vector<Band> bandsOf(const FocusPixelLayout& layout)
{
    using Mode = FocusPixelLayout::Mode;
    const bool familyB = layout.model == FocusPixelLayout::kEos100D;
    if (layout.lossless) {
        switch (layout.mode) {
        case Mode::Video720:
            return {{&k720, 28, 726, 0}};
        case Mode::Video1080:
            return {{&k1080, 28, 1189, 0}};
        case Mode::Crop:
            if (familyB)
                return {{&k100D, 28, 1058, 0}, {&k100D, 28, 1058, 1}};
            return {{&kCropLossless, 28, 1058, 0}, {&kCropLossless, 28, 1058, 1}};
        case Mode::Zoom:
            return {{familyB ? &k100D : &kCropLossless, 28, 1107, 0}};
        case Mode::CropRec720:
            return {{&k720, 28, 726, 0}, {&k1080, 28, 726, 0}};
        case Mode::None:
            return {};
        }
        return {};
    }
    switch (layout.mode) {
    case Mode::Video720:
        return {familyB ? Band{&k720, 86, 669, 0} : Band{&k720, 290, 465, 0}};
    case Mode::Video1080:
        return {familyB ? Band{&k1080, 119, 1095, 0} : Band{&k1080, 459, 755, 0}};
    case Mode::Crop:
        return {familyB ? Band{&k100D, 29, 1057, 0} : Band{&kCrop, 121, 1013, 0}};
    case Mode::Zoom:
        return {familyB ? Band{&k100D, 28, 1105, 0} : Band{&kCrop, 31, 1103, 0}};
    case Mode::CropRec720:
        if (familyB)
            return {{&k720, 86, 669, 0}, {&k1080, 28, 724, 0}};
        if (layout.model == FocusPixelLayout::kEos700D)
            return {{&k1080, 219, 515, 0}};
        return {{&k720, 290, 465, 0}, {&k1080, 219, 515, 0}};
    case Mode::None:
        return {};
    }
    return {};
}

}  // namespace

std::vector<FocusPixelPosition> FocusPixelLattice::positions(const FocusPixelLayout& layout, int bufferWidth,
                                                             int bufferHeight)
{
    std::vector<FocusPixelPosition> found;
    if (!layout.hasMap())
        return found;
    for (const Band& band : bandsOf(layout)) {
        const Lattice& lattice = *band.lattice;
        const int lastRow = std::min(band.lastRow, bufferHeight - 1);
        for (int y = band.firstRow; y <= lastRow; ++y) {
            for (const std::array<int, 2>& residue : lattice.residues) {
                if (residue[0] != y % lattice.rowPeriod)
                    continue;
                const int column = (residue[1] + band.columnShift) % lattice.columnPeriod;
                // The first column at or right of the border with that residue.
                int x = kFirstActiveColumn
                        + (column - kFirstActiveColumn % lattice.columnPeriod + lattice.columnPeriod)
                              % lattice.columnPeriod;
                for (; x < bufferWidth; x += lattice.columnPeriod)
                    found.push_back({x, y});
            }
        }
    }
    return found;
}

}  // namespace mlv2dng
