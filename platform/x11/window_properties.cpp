#include "platform/x11/window_properties.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace orvel::x11 {

namespace {
std::optional<std::int32_t> pidValue(std::uint32_t value) {
  if (value == 0 || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}
}  // namespace

std::string_view propertyBytes(const xcb_get_property_reply_t& reply) {
  const std::size_t claimed = std::size_t{reply.value_len} * (reply.format / 8u);
  const std::size_t held = std::size_t{reply.length} * 4;
  return {static_cast<const char*>(xcb_get_property_value(&reply)), std::min(claimed, held)};
}

std::string_view propertyText(const xcb_get_property_reply_t* r) {
  if (!r || r->format != 8) return {};
  return propertyBytes(*r);
}

std::optional<std::int32_t> pidProperty(const xcb_get_property_reply_t* r) {
  const auto values = propertyValues<std::uint32_t>(r, 32);
  return values.empty() ? std::nullopt : pidValue(values[0]);
}

std::optional<std::int32_t> clientPid(const xcb_res_query_client_ids_reply_t& reply) {
  // Walked within the reply's own length, which the value counts cannot be trusted to respect.
  const auto* at = reinterpret_cast<const std::uint8_t*>(&reply + 1);
  const auto* end = at + std::size_t{reply.length} * 4;
  for (std::uint32_t i = 0; i < reply.num_ids; ++i) {
    xcb_res_client_id_value_t value;
    if (static_cast<std::size_t>(end - at) < sizeof value) break;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    // `length` counts bytes of whole 32-bit words.
    const std::size_t bytes = std::size_t{value.length / 4} * 4;
    if (static_cast<std::size_t>(end - at) < bytes) break;
    // A value starts with the client id it answers; its mask says which kind of value it is.
    const auto& [clientId, valueLength] = value;
    if (clientId.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID && bytes >= 4) {
      std::uint32_t pid;
      std::memcpy(&pid, at, sizeof pid);
      return pidValue(pid);
    }
    at += bytes;
  }
  return std::nullopt;
}

std::optional<xcb_sync_counter_t> systemCounter(const xcb_sync_list_system_counters_reply_t& reply,
                                                std::string_view name) {
  // libxcb's own iterator steps over the names' padding wrongly and reads past the reply.
  const auto* at = reinterpret_cast<const std::uint8_t*>(&reply + 1);
  const auto* end = at + std::size_t{reply.length} * 4;
  // Each counter: its id (4 bytes), resolution (8), name length (2), the name, padded to 4 bytes.
  constexpr std::size_t kHead = 14;
  for (std::uint32_t i = 0; i < reply.counters_len; ++i) {
    if (static_cast<std::size_t>(end - at) < kHead) break;
    xcb_sync_counter_t counter;
    std::uint16_t length;
    std::memcpy(&counter, at, sizeof counter);
    std::memcpy(&length, at + 12, sizeof length);
    if (static_cast<std::size_t>(end - at) < kHead + length) break;
    if (std::string_view(reinterpret_cast<const char*>(at + kHead), length) == name) return counter;
    const std::size_t step = (kHead + length + 3) / 4 * 4;
    if (static_cast<std::size_t>(end - at) < step) break;
    at += step;
  }
  return std::nullopt;
}

}  // namespace orvel::x11
