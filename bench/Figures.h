#pragma once
// The summary every benchmark prints of its repeated timings.
#include <algorithm>
#include <vector>

namespace vedomec::bench {

struct Figures {
    double median = 0, mean = 0, max = 0;
};

inline Figures summarise(std::vector<double> v)
{
    Figures f;
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    f.median = v[v.size() / 2];
    for (double x : v)
        f.mean += x;
    f.mean /= double(v.size());
    f.max = v.back();
    return f;
}

} // namespace vedomec::bench
