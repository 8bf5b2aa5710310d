#pragma once

#include <algorithm>
#include <ostream>
#include <vector>

#include <GL/glew.h>

// The rectangle covered by drawn (not black) pixels of the current frame, in GL window
// coordinates (origin bottom left); width 0 when nothing is drawn. Comparing rectangles
// rather than exact pixels keeps tests independent of rasterisation and glyph details.
struct PixelBounds {
    PixelBounds() = default;
    PixelBounds(int x, int y, int width, int height) : x(x), y(y), width(width), height(height) {}
    bool operator==(const PixelBounds& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    double CentreX() const { return x + width / 2.0; }
    double CentreY() const { return y + height / 2.0; }

    int x = 0, y = 0, width = 0, height = 0;
};

inline std::ostream& operator<<(std::ostream& out, const PixelBounds& b) {
    return out << "(x " << b.x << ", y " << b.y << ", " << b.width << " x " << b.height << ")";
}

// Pixels whose brightest channel exceeds `threshold` count as drawn.
inline PixelBounds DrawnBounds(int width, int height, int threshold = 40) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int left = width, right = -1, bottom = height, top = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            if (std::max({p[0], p[1], p[2]}) <= threshold)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    if (right < 0)
        return {};
    return {left, bottom, right - left + 1, top - bottom + 1};
}
