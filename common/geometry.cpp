#include "orvel/common/geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvel {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

Rect Rect::null() {
  return {kInf, kInf, 0, 0};
}

Rect Rect::fromPoints(Point a, Point b) {
  return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y)};
}

bool Rect::isNull() const {
  return std::isinf(x) || std::isinf(y);
}

bool Rect::isEmpty() const {
  return isNull() || width == 0 || height == 0;
}

bool Rect::isFinite() const {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height);
}

Rect Rect::standardized() const {
  if (isNull()) return null();
  Rect r = *this;
  if (r.width < 0) {
    r.x += r.width;
    r.width = -r.width;
  }
  if (r.height < 0) {
    r.y += r.height;
    r.height = -r.height;
  }
  return r;
}

double Rect::minX() const {
  return width < 0 ? x + width : x;
}
double Rect::minY() const {
  return height < 0 ? y + height : y;
}
double Rect::maxX() const {
  return width < 0 ? x : x + width;
}
double Rect::maxY() const {
  return height < 0 ? y : y + height;
}
double Rect::midX() const {
  return x + width / 2;
}
double Rect::midY() const {
  return y + height / 2;
}

bool Rect::contains(const Rect& other) const {
  if (isNull() || other.isNull()) return false;
  return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
         other.maxY() <= maxY();
}

bool Rect::contains(Point p) const {
  if (isNull()) return false;
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

Rect Rect::intersection(const Rect& other) const {
  if (isNull() || other.isNull()) return null();
  const double x0 = std::max(minX(), other.minX());
  const double y0 = std::max(minY(), other.minY());
  const double x1 = std::min(maxX(), other.maxX());
  const double y1 = std::min(maxY(), other.maxY());
  if (x0 > x1 || y0 > y1) return null();
  return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const {
  if (isNull() || other.isNull()) return false;
  return std::max(minX(), other.minX()) < std::min(maxX(), other.maxX()) &&
         std::max(minY(), other.minY()) < std::min(maxY(), other.maxY());
}

Rect Rect::unionWith(const Rect& other) const {
  if (isNull()) return other.standardized();
  if (other.isNull()) return standardized();
  const double x0 = std::min(minX(), other.minX());
  const double y0 = std::min(minY(), other.minY());
  return {x0, y0, std::max(maxX(), other.maxX()) - x0, std::max(maxY(), other.maxY()) - y0};
}

Rect Rect::integral() const {
  if (isNull()) return null();
  const double x0 = std::floor(minX());
  const double y0 = std::floor(minY());
  return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
}

Rect Rect::insetBy(double dx, double dy) const {
  if (isNull()) return null();
  Rect r = standardized();
  r.x += dx;
  r.y += dy;
  r.width -= 2 * dx;
  r.height -= 2 * dy;
  if (r.width < 0 || r.height < 0) return null();
  return r;
}

Rect Rect::offsetBy(double dx, double dy) const {
  if (isNull()) return null();
  return {x + dx, y + dy, width, height};
}

bool operator==(const Rect& a, const Rect& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  const Rect sa = a.standardized();
  const Rect sb = b.standardized();
  return sa.x == sb.x && sa.y == sb.y && sa.width == sb.width && sa.height == sb.height;
}

std::string formatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buf[64];
  char* end = std::to_chars(buf, buf + sizeof buf - 2, value).ptr;
  if (std::find_if(buf, end, [](char c) { return c == '.' || c == 'e'; }) == end) {
    *end++ = '.';
    *end++ = '0';
  }
  return std::string(buf, end);
}

std::string describe(const Rect& r) {
  return "(" + formatDouble(r.x) + ", " + formatDouble(r.y) + ", " + formatDouble(r.width) + ", " +
         formatDouble(r.height) + ")";
}

}  // namespace orvel
