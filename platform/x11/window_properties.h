// Reading the answers the backend asks about windows in more than one place: property values and
// the owner's pid, from _NET_WM_PID or from the X-Resource extension.
#pragma once

#include <xcb/res.h>
#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

using PropertyReply = Reply<xcb_get_property_reply>;

// The value bytes of a property reply, as many as its count claims and its length holds: a reply
// whose count runs past its own end is cut at the end.
std::string_view propertyBytes(const xcb_get_property_reply_t& reply);

// The values of a property of `format` bits each; none when the reply is missing (null) or of
// another format.
template <class T>
std::vector<T> propertyValues(const xcb_get_property_reply_t* r, std::uint8_t format) {
  std::vector<T> out;
  if (!r || r->format != format) return out;
  const std::string_view bytes = propertyBytes(*r);
  out.resize(bytes.size() / sizeof(T));
  // An empty property has no value bytes at all, and memcpy may not be given a null source.
  if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
  return out;
}

// The bytes of an 8-bit property; empty when missing (null) or of another format.
std::string_view propertyText(const xcb_get_property_reply_t* r);

// The process named by the first value of a _NET_WM_PID reply: none for 0, values past the pid
// range or a missing reply.
std::optional<std::int32_t> pidProperty(const xcb_get_property_reply_t* r);

// The local client pid in an X-Resource client ids reply.
std::optional<std::int32_t> clientPid(const xcb_res_query_client_ids_reply_t& reply);

// The SYNC system counter called `name` in a list-system-counters reply, read within the reply's
// own length; nothing when it is not there.
std::optional<xcb_sync_counter_t> systemCounter(const xcb_sync_list_system_counters_reply_t& reply,
                                                std::string_view name);

}  // namespace orvel::x11
