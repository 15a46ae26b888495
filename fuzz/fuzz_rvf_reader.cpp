// Document bodies come from the database and the shared folder: any bytes must give a
// document or an error. A document read must also write and read back to itself.
#include "richtext/RvfFormat.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vt::rt::DocModel doc;
  if (!vt::rt::readRvf(std::string_view(reinterpret_cast<const char*>(data), size), doc)) return 0;
  std::string again = vt::rt::writeRvf(doc);
  vt::rt::DocModel back;
  if (!vt::rt::readRvf(again, back) || !(back == doc) || vt::rt::writeRvf(back) != again) __builtin_trap();
  return 0;
}
