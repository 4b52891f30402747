// Accessibility trees of other applications. Reads are synchronous requests to the application
// that owns the element; each waits at most the element's messaging timeout. Called on the
// loop thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/geometry.h"

namespace orvel::platform {

inline constexpr int kAXErrorCannotComplete = -25204;
inline constexpr int kAXErrorAttributeUnsupported = -25205;
inline constexpr int kAXErrorNoValue = -25212;

// An opaque reference to an element of some application's tree.
struct AXElement {
  std::uint64_t id = 0;
  friend bool operator==(const AXElement&, const AXElement&) = default;
};

// An attribute value: the kinds the helpers tell apart.
struct AXValue {
  enum class Kind {
    Other,  // a value of a type the helpers do not read
    String,
    Number,  // numbers and booleans
    Point,   // a geometry value holding a point (x, y)
    Size,    // a geometry value holding a size (width, height)
    Element,
    Array,
  };
  Kind kind = Kind::Other;
  std::string string;
  double number = 0;
  double a = 0, b = 0;  // point x, y or size width, height
  AXElement element;
  std::vector<AXValue> array;
};

class Accessibility {
 public:
  virtual ~Accessibility() = default;
  virtual AXElement applicationElement(std::int32_t pid) = 0;
  virtual void setMessagingTimeout(AXElement element, float seconds) = 0;
  // The value, or an AX error code.
  virtual Expected<AXValue, int> copyAttributeValue(AXElement element,
                                                    const std::string& attribute) = 0;
};

}  // namespace orvel::platform
