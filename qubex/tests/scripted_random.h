#pragma once
// A random source that hands out queued draws, so a test knows every value the model sees.
#include "model/ifs_model.h"

#include <deque>
#include <stdexcept>

namespace qubex::test {

class ScriptedRandom final : public RandomSource {
public:
    ScriptedRandom() = default;
    explicit ScriptedRandom(int repeat) : repeat_(repeat) {}

    void queue(std::initializer_list<int> draws) { draws_.insert(draws_.end(), draws); }
    // Queue the two draws randomSigned turns into `value` (magnitude draw, sign draw).
    void queueSigned(int magnitude, bool negative)
    {
        draws_.push_back(magnitude);
        draws_.push_back(negative ? 0 : kRandMax);
    }
    int next() override
    {
        ++used_;
        if (draws_.empty()) {
            if (repeat_ >= 0)
                return repeat_;
            throw std::logic_error("ScriptedRandom ran out of draws");
        }
        const int d = draws_.front();
        draws_.pop_front();
        return d;
    }
    std::size_t left() const { return draws_.size(); }
    long used() const { return used_; }

private:
    std::deque<int> draws_;
    int repeat_ = -1; // < 0: running out is a test failure
    long used_ = 0;
};

} // namespace qubex::test
