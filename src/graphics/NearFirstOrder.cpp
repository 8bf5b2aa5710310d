#include "graphics/NearFirstOrder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <glm/geometric.hpp>

void NearFirstOrder::Arrange(const std::vector<VoxelInstance>& source, std::size_t count,
                             const std::vector<std::uint64_t>& sourceLevels, const glm::vec3& eye) {
    const bool withLevels = !sourceLevels.empty();
    // Words that do not match the records one for one are kept as they came, with the
    // records' order.
    count = withLevels && sourceLevels.size() != source.size() ? 0 : std::min(count, source.size());
    instances.resize(source.size());
    levels.resize(sourceLevels.size());

    distances.resize(count);
    float nearest = std::numeric_limits<float>::max();
    float farthest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float d = glm::distance(glm::vec3(source[i].position), eye);
        distances[i] = d;
        if (std::isfinite(d)) {
            nearest = std::min(nearest, d);
            farthest = std::max(farthest, d);
        }
    }
    const double span = farthest > nearest ? double(farthest) - nearest : 1.0;
    const double scale = (kBuckets - 1) / span;
    // One bucket more, last, for records at no finite place.
    buckets.resize(count);
    starts.assign(kBuckets + 2, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const double place = (double(distances[i]) - nearest) * scale;
        const auto bucket = std::isfinite(distances[i])
                                ? static_cast<std::uint32_t>(std::clamp(place, 0.0, kBuckets - 1.0))
                                : static_cast<std::uint32_t>(kBuckets);
        buckets[i] = bucket;
        ++starts[bucket + 1];
    }
    for (std::size_t b = 1; b < starts.size(); ++b)
        starts[b] += starts[b - 1];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t to = starts[buckets[i]]++;
        instances[to] = source[i];
        if (withLevels)
            levels[to] = sourceLevels[i];
    }
    std::copy(source.begin() + static_cast<std::ptrdiff_t>(count), source.end(),
              instances.begin() + static_cast<std::ptrdiff_t>(count));
    if (withLevels)
        std::copy(sourceLevels.begin() +
                      static_cast<std::ptrdiff_t>(std::min(count, sourceLevels.size())),
                  sourceLevels.end(), levels.begin() + static_cast<std::ptrdiff_t>(count));
}
