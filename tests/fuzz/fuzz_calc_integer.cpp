// ToInteger on arbitrary bytes, and the calculators that read their boxes
// through it. A number written out and read back comes back, in ASCII and in
// full-width digits alike; the gold cap exists exactly for levels 1 to 120.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "calculator.hpp"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// "０" is 0xA3 0xB0; the full-width forms are their ASCII characters + 0x80
// after the lead byte 0xA3.
std::string FullWidth(std::string_view ascii) {
  std::string out;
  for (char c : ascii) {
    out += static_cast<char>(0xA3);
    out += static_cast<char>(static_cast<unsigned char>(c) + 0x80);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = (kv::LoadCalculatorTables(), true);
  (void)loaded;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::int32_t n = kv::ToInteger(text);
  const kv::Text written = kv::ToText(n);
  Check(kv::ToInteger(written) == n);
  Check(kv::ToInteger(FullWidth(written)) == n);
  // Leading spaces (ASCII and full-width) are skipped.
  Check(kv::ToInteger("  \xA1\xA1" + written) == n);

  // Two raw numbers from the input for the level pairs.
  if (size >= 8) {
    std::int32_t a, b;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    Check(kv::ToInteger(kv::ToText(a)) == a);
    Check(kv::ToInteger(FullWidth(kv::ToText(b))) == b);
  }

  // The boxes of the calculators get pieces of the input as typed text.
  const std::size_t cut = size / 2;
  const std::string_view first = text.substr(0, cut);
  const std::string_view second = text.substr(cut);
  const kv::Text level = kv::RecalcLevelGroup(first, second, (size & 1) != 0);
  const std::int32_t c = kv::ToInteger(first);
  const std::int32_t t = kv::ToInteger(second);
  if (!(size & 1)) {
    const bool usable = c >= 1 && c <= static_cast<std::int32_t>(kv::LevelExpTable.size()) && t >= 2 &&
                        t <= static_cast<std::int32_t>(kv::LevelExpTable.size()) + 1;
    Check(usable != level.empty());
    if (usable && t <= c) Check(level == "0");
  }
  (void)kv::RecalcSkillGroup(first, second, (size & 2) != 0, text);
  const kv::CultivationResult cult = kv::RecalcCultivationGroup(first, second);
  Check(!cult.total.empty());
  const kv::Text gold = kv::LookupGoldCap(text);
  Check(gold.empty() == !(n >= 1 && n <= 120));
  return 0;
}
