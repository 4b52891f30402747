// Feeds arbitrary bytes to the X11 backend's decoding of what other clients and the server hand
// over: a property reply (any format, any claimed count, any length) read as values and as text,
// the text made UTF-8 as a title, an X-Resource client ids reply searched for a pid and a SYNC
// system counters reply searched for a counter. Nothing
// may read past a reply, and every title must be valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "orvel/common/json_text.h"
#include "platform/x11/utf8_text.h"
#include "platform/x11/window_properties.h"

using namespace orvel::x11;

namespace {

// A reply of the 32-byte header taken from the input (its length field set to the bytes that
// follow), followed by the rest of the input, in a buffer of exactly that size.
template <class Reply>
std::vector<std::uint32_t> replyOf(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint32_t> words(8 + (size > 32 ? (size - 32) / 4 : 0));
  std::memcpy(words.data(), data, std::min<std::size_t>(size, words.size() * 4));
  reinterpret_cast<Reply*>(words.data())->length = static_cast<std::uint32_t>(words.size() - 8);
  return words;
}

void checkTitle(std::string_view bytes, bool latin1) {
  const std::string title = toUtf8(bytes, latin1);
  if (!orvel::encodeJson(orvel::Json(title))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto words = replyOf<xcb_get_property_reply_t>(data, size);
  const auto* property = reinterpret_cast<xcb_get_property_reply_t*>(words.data());
  const std::string_view bytes = propertyBytes(*property);
  if (bytes.size() > std::size_t{property->length} * 4) std::abort();
  checkTitle(propertyText(property), property->type == XCB_ATOM_STRING);
  (void)propertyValues<std::uint32_t>(property, 32);
  (void)propertyValues<std::uint16_t>(property, 16);
  (void)pidProperty(property);
  checkTitle({reinterpret_cast<const char*>(data), size}, false);
  checkTitle({reinterpret_cast<const char*>(data), size}, true);

  auto ids = replyOf<xcb_res_query_client_ids_reply_t>(data, size);
  (void)clientPid(*reinterpret_cast<const xcb_res_query_client_ids_reply_t*>(ids.data()));

  auto counters = replyOf<xcb_sync_list_system_counters_reply_t>(data, size);
  (void)systemCounter(
      *reinterpret_cast<const xcb_sync_list_system_counters_reply_t*>(counters.data()),
      "SERVERTIME");
  return 0;
}
