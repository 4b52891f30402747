#include "platform/wayland/sway_tree_parser.h"

#include <array>
#include <string>
#include <vector>

namespace orvel::wayland {

namespace {

// The members sway_tree.cpp reads, at any level.
constexpr std::array<std::string_view, 21> kKeptKeys = {"nodes",
                                                        "floating_nodes",
                                                        "focus",
                                                        "id",
                                                        "type",
                                                        "name",
                                                        "rect",
                                                        "deco_rect",
                                                        "x",
                                                        "y",
                                                        "width",
                                                        "height",
                                                        "visible",
                                                        "focused",
                                                        "fullscreen_mode",
                                                        "pid",
                                                        "app_id",
                                                        "shell",
                                                        "window_properties",
                                                        "class",
                                                        "current_workspace"};

bool kept(std::string_view key) {
  for (const auto k : kKeptKeys)
    if (k == key) return true;
  return false;
}

// Builds the document from the parser's events, leaving out the values of other members and
// stopping the parse (by returning false) at the first bound passed.
class BoundedBuilder {
 public:
  Json root;

  bool null() { return scalar(nullptr); }
  bool boolean(bool v) { return scalar(v); }
  bool number_integer(Json::number_integer_t v) { return scalar(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return scalar(v); }
  bool number_float(Json::number_float_t v, const Json::string_t&) { return scalar(v); }
  bool string(Json::string_t& v) { return scalar(std::move(v)); }
  bool binary(Json::binary_t&) { return false; }
  bool start_object(std::size_t) { return start(Json::object()); }
  bool start_array(std::size_t) { return start(Json::array()); }
  bool end_object() { return end(); }
  bool end_array() { return end(); }
  bool key(Json::string_t& k) {
    if (skippingFrom_ == 0) {
      skipNext_ = !kept(k);
      key_ = std::move(k);
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

 private:
  bool scalar(Json v) {
    if (skippingFrom_ != 0) return true;
    if (skipNext_) {
      skipNext_ = false;
      return true;
    }
    return place(std::move(v)) != nullptr;
  }

  bool start(Json v) {
    if (++depth_ > kSwayTreeMaxDepth) return false;
    if (skippingFrom_ != 0) return true;
    if (skipNext_) {
      skipNext_ = false;
      skippingFrom_ = depth_;
      return true;
    }
    Json* placed = place(std::move(v));
    if (!placed) return false;
    open_.push_back(placed);
    return true;
  }

  bool end() {
    if (skippingFrom_ == depth_)
      skippingFrom_ = 0;
    else if (skippingFrom_ == 0)
      open_.pop_back();
    --depth_;
    return true;
  }

  Json* place(Json v) {
    if (++values_ > kSwayTreeMaxValues) return nullptr;
    if (open_.empty()) {
      root = std::move(v);
      return &root;
    }
    Json& parent = *open_.back();
    if (parent.is_object()) return &(parent[key_] = std::move(v));
    parent.push_back(std::move(v));
    return &parent.back();
  }

  std::vector<Json*> open_;
  std::string key_;
  int depth_ = 0;
  int skippingFrom_ = 0;  // the depth of the container being left out; 0: none
  bool skipNext_ = false;
  std::size_t values_ = 0;
};

}  // namespace

std::optional<Json> parseSwayTree(std::string_view text) {
  // JSON text never holds a raw NUL; the parser could take one for the end of its input.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  BoundedBuilder builder;
  if (!Json::sax_parse(text.begin(), text.end(), &builder, nlohmann::json::input_format_t::json,
                       /*strict=*/true))
    return std::nullopt;
  return std::move(builder.root);
}

}  // namespace orvel::wayland
