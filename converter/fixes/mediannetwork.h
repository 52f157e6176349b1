// A comparator network that picks the median of a fixed number of inputs, run lane-wise over arrays.
#pragma once

#include <cstdint>
#include <vector>

namespace mlv2dng {

class MedianNetwork
{
public:
    // Values processed side by side by one run().
    static constexpr int kLanes = 64;

    struct Step
    {
        std::uint8_t low;   // wire that receives the minimum
        std::uint8_t high;  // wire that receives the maximum
        bool keepMin;       // whether the minimum is used later
        bool keepMax;
    };

    // inputs between 1 and 64. For an odd count the median lands on wire lowOutput() ==
    // highOutput(); for an even count the two middle values land on lowOutput() and highOutput().
    explicit MedianNetwork(int inputs);

    int inputs() const { return mInputs; }
    int lowOutput() const { return (mInputs - 1) / 2; }
    int highOutput() const { return mInputs / 2; }
    const std::vector<Step>& steps() const { return mSteps; }

    // wires: inputs() rows of kLanes values each, contiguous. Reordered in place.
    void run(std::int16_t* wires) const;
    void run(std::int32_t* wires) const;

private:
    template <typename T>
    void runLanes(T* wires) const;

    int mInputs;
    std::vector<Step> mSteps;
};

}  // namespace mlv2dng
