#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// Figures over the last few seconds, one sample a frame, that a panel draws as a
// graph of stacked lines: the band between two lines is one series, the top line
// their total. Its owner adds samples; a panel shows it through an AddVarMessage of
// type kTweakGraph. The figures written beside the graph are averages over a
// shorter window, renewed once a window: a single slow frame does not make them
// jump, and fields that show the same averages agree with the graph.
class TweakGraph {
  public:
    using Clock = std::chrono::steady_clock;

    explicit TweakGraph(std::vector<std::string> seriesNames, double seconds = 5.0,
                        std::size_t maxSamples = 1200, double averageSeconds = 0.5);

    // One value per series, in the order of the names; missing ones count as 0.
    void AddSample(const std::vector<float>& values, Clock::time_point now = Clock::now());
    void Clear();

    const std::vector<std::string>& GetSeriesNames() const { return names; }
    std::size_t GetSampleCount() const { return samples.size(); }
    // Series 0 to `series` added up, oldest sample first: the line drawn for `series`.
    std::vector<float> GetStacked(std::size_t series) const;
    float GetLatest(std::size_t series) const;
    // The largest total of any sample kept.
    float GetPeakTotal() const;
    // The mean of one series, and of the total, over the last complete averaging
    // window; 0 until one is complete.
    float GetAverage(std::size_t series) const;
    float GetAverageTotal() const;
    double GetAverageSeconds() const { return averageSpan.count(); }

  private:
    struct Sample {
        Clock::time_point at;
        std::vector<float> values;
    };
    std::vector<std::string> names;
    std::chrono::duration<double> span;
    std::size_t maxSamples;
    std::deque<Sample> samples;

    std::chrono::duration<double> averageSpan;
    std::vector<float> averages;
    std::vector<double> windowSums;
    std::size_t windowCount = 0;
    Clock::time_point windowStart;
};
