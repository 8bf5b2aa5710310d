#include "tools/TweakGraph.h"

#include <algorithm>
#include <numeric>

TweakGraph::TweakGraph(std::vector<std::string> seriesNames, double seconds, std::size_t maxSamples,
                       double averageSeconds)
    : names(std::move(seriesNames)), span(seconds),
      maxSamples(std::max<std::size_t>(maxSamples, 2)), averageSpan(averageSeconds) {
    Clear();
}

void TweakGraph::Clear() {
    samples.clear();
    averages.assign(names.size(), 0.0f);
    windowSums.assign(names.size(), 0.0);
    windowCount = 0;
}

void TweakGraph::AddSample(const std::vector<float>& values, Clock::time_point now) {
    Sample sample{now, values};
    sample.values.resize(names.size(), 0.0f);
    if (windowCount == 0)
        windowStart = now;
    for (std::size_t k = 0; k < names.size(); ++k)
        windowSums[k] += sample.values[k];
    ++windowCount;
    if (now - windowStart >= averageSpan) {
        for (std::size_t k = 0; k < names.size(); ++k)
            averages[k] = static_cast<float>(windowSums[k] / static_cast<double>(windowCount));
        windowSums.assign(names.size(), 0.0);
        windowCount = 0;
    }
    samples.push_back(std::move(sample));
    while (samples.size() > maxSamples || (samples.size() > 1 && now - samples.front().at > span))
        samples.pop_front();
}

float TweakGraph::GetAverage(std::size_t series) const {
    return series < averages.size() ? averages[series] : 0.0f;
}

float TweakGraph::GetAverageTotal() const {
    return std::accumulate(averages.begin(), averages.end(), 0.0f);
}

std::vector<float> TweakGraph::GetStacked(std::size_t series) const {
    std::vector<float> line;
    line.reserve(samples.size());
    const std::size_t last = std::min(series + 1, names.size());
    for (const Sample& sample : samples)
        line.push_back(std::accumulate(sample.values.begin(), sample.values.begin() + last, 0.0f));
    return line;
}

float TweakGraph::GetLatest(std::size_t series) const {
    return samples.empty() || series >= names.size() ? 0.0f : samples.back().values[series];
}

float TweakGraph::GetPeakTotal() const {
    float peak = 0.0f;
    for (const Sample& sample : samples)
        peak = std::max(peak, std::accumulate(sample.values.begin(), sample.values.end(), 0.0f));
    return peak;
}
