#include "platform/x11/window_properties.h"

#include <climits>

namespace orvel::x11 {

namespace {
std::optional<std::int32_t> pidValue(std::uint32_t value) {
  if (value == 0 || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}
}  // namespace

std::string_view propertyText(const PropertyReply& r) {
  if (!r || r->format != 8) return {};
  return {static_cast<const char*>(xcb_get_property_value(r.get())),
          static_cast<std::size_t>(xcb_get_property_value_length(r.get()))};
}

std::optional<std::int32_t> pidProperty(const PropertyReply& r) {
  const auto values = propertyValues<std::uint32_t>(r, 32);
  return values.empty() ? std::nullopt : pidValue(values[0]);
}

std::optional<std::int32_t> clientPid(const xcb_res_query_client_ids_reply_t& reply) {
  for (auto it = xcb_res_query_client_ids_ids_iterator(&reply); it.rem;
       xcb_res_client_id_value_next(&it)) {
    // A value starts with the client id it answers; its mask says which kind of value it is.
    const auto& answered = *reinterpret_cast<const xcb_res_client_id_spec_t*>(it.data);
    if (answered.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID &&
        xcb_res_client_id_value_value_length(it.data) >= 1) {
      return pidValue(*xcb_res_client_id_value_value(it.data));
    }
  }
  return std::nullopt;
}

}  // namespace orvel::x11
