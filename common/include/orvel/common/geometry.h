// Points, sizes and rectangles in doubles, with the rectangle semantics the helpers' rules are
// written against: a rectangle may have a negative size until it is standardized, the null
// rectangle (no position at all) is distinct from an empty one, containment includes the edges,
// a point on the maximum edge is outside, and rectangles that only touch do not intersect.
#pragma once

#include <optional>
#include <string>

namespace orvel {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  static Rect null();
  static Rect fromPoints(Point a, Point b);

  bool isNull() const;
  // Null, or zero width or height.
  bool isEmpty() const;
  bool isFinite() const;

  Rect standardized() const;
  double minX() const;
  double minY() const;
  double maxX() const;
  double maxY() const;
  double midX() const;
  double midY() const;
  Point origin() const { return {x, y}; }
  Point center() const { return {midX(), midY()}; }

  // Every point of `other` lies inside or on the edge of this rectangle. False when either is null.
  bool contains(const Rect& other) const;
  // minX <= x < maxX and minY <= y < maxY.
  bool contains(Point p) const;
  // The shared area; null when they do not meet. Rectangles that share an edge give a zero-width
  // (or zero-height) rectangle on that edge.
  Rect intersection(const Rect& other) const;
  // True when the rectangles share an area of non-zero size.
  bool intersects(const Rect& other) const;
  // Smallest rectangle holding both; a null side is ignored.
  Rect unionWith(const Rect& other) const;
  // Origin floored, far edges ceiled.
  Rect integral() const;
  // Moves each edge inwards by dx and dy (outwards when negative); null when the result would have
  // a negative size.
  Rect insetBy(double dx, double dy) const;
  Rect offsetBy(double dx, double dy) const;

  // Exact equality of the standardized rectangles (no tolerance).
  friend bool operator==(const Rect& a, const Rect& b);
};

// Shortest decimal text that reads back as the same double, always with a fractional part for
// finite whole numbers ("3.0", "12.5", "-0.25"). Infinities and NaN give "inf", "-inf", "nan".
std::string formatDouble(double value);

std::string describe(const Rect& r);

}  // namespace orvel
