// Floating-point geometry of the window model: origins at the lower left
// unless a view is flipped.
#pragma once

#include <algorithm>

namespace winsys {

struct Pointf {
  double x = 0, y = 0;
};

struct Sizef {
  double width = 0, height = 0;
};

struct Rectf {
  double x = 0, y = 0, width = 0, height = 0;

  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  bool empty() const { return width <= 0 || height <= 0; }
  bool contains(Pointf p) const { return p.x >= x && p.x < maxX() && p.y >= y && p.y < maxY(); }
  bool intersects(const Rectf& o) const {
    return !empty() && !o.empty() && x < o.maxX() && o.x < maxX() && y < o.maxY() && o.y < maxY();
  }
  Rectf unite(const Rectf& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    double l = std::min(x, o.x), b = std::min(y, o.y);
    return {l, b, std::max(maxX(), o.maxX()) - l, std::max(maxY(), o.maxY()) - b};
  }
  Rectf intersect(const Rectf& o) const {
    double l = std::max(x, o.x), b = std::max(y, o.y);
    double r = std::min(maxX(), o.maxX()), t = std::min(maxY(), o.maxY());
    if (r <= l || t <= b) return {};
    return {l, b, r - l, t - b};
  }
  bool operator==(const Rectf&) const = default;
};

}  // namespace winsys
