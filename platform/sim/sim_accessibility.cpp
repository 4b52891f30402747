#include "platform/sim/sim_accessibility.h"

namespace orvel::sim {

using platform::AXValue;

void SimAccessibility::setTree(std::int32_t pid, Json tree) {
  elements_.clear();
  ids_.clear();
  trees_[pid] = std::move(tree);
}

platform::AXElement SimAccessibility::elementFor(const Json* node) {
  auto it = ids_.find(node);
  if (it != ids_.end()) return {it->second};
  const std::uint64_t id = elements_.size() + 1;
  elements_[id] = node;
  ids_[node] = id;
  return {id};
}

platform::AXElement SimAccessibility::applicationElement(std::int32_t pid) {
  auto it = trees_.find(pid);
  if (it == trees_.end()) return {0};
  return elementFor(&it->second);
}

void SimAccessibility::setMessagingTimeout(platform::AXElement element, float seconds) {
  timeouts_[element.id] = seconds;
}

Expected<AXValue, int> SimAccessibility::copyAttributeValue(platform::AXElement element,
                                                            const std::string& attribute) {
  auto timeout = timeouts_.find(element.id);
  reads_.push_back({attribute, timeout == timeouts_.end() ? 0.0f : timeout->second});
  if (clock_) clock_->advance(cost_);
  auto node = elements_.find(element.id);
  if (node == elements_.end()) return unexpected(platform::kAXErrorCannotComplete);
  const Json& e = *node->second;
  auto it = e.find(attribute);
  if (!e.is_object() || it == e.end()) return unexpected(platform::kAXErrorAttributeUnsupported);
  const Json& v = *it;
  AXValue out;
  if (v.is_object() && v.contains("error")) return unexpected(v["error"].get<int>());
  if (v.is_string()) {
    out.kind = AXValue::Kind::String;
    out.string = v.get<std::string>();
  } else if (v.is_boolean() || v.is_number()) {
    out.kind = AXValue::Kind::Number;
    out.number = v.is_boolean() ? (v.get<bool>() ? 1 : 0) : v.get<double>();
  } else if ((attribute == "AXPosition" || attribute == "AXSize") && v.is_array() &&
             v.size() == 2) {
    out.kind = attribute == "AXPosition" ? AXValue::Kind::Point : AXValue::Kind::Size;
    out.a = v[0].get<double>();
    out.b = v[1].get<double>();
  } else if (v.is_array()) {
    out.kind = AXValue::Kind::Array;
    for (const auto& item : v) {
      AXValue child;
      if (item.is_object()) {
        child.kind = AXValue::Kind::Element;
        child.element = elementFor(&item);
      }
      out.array.push_back(std::move(child));
    }
  }
  return out;
}

}  // namespace orvel::sim
