// Arbitrary text typed into the join field, parsed (no name is resolved), and arbitrary
// SRV record sets picked from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/server_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ServerAddress address;
  std::string error;
  if (parseServerAddress(text, 27632, address, error) && address.host.empty()) __builtin_trap();

  std::vector<SrvRecord> records;
  for (size_t i = 0; i + 5 <= size; i += 5) {
    records.push_back({data[i], static_cast<uint16_t>(data[i + 1] | (data[i + 2] << 8)),
                       data[i + 3], std::string(data[i + 4] & 1, 'h')});
  }
  const int picked = pickSrvRecord(records, size * 2654435761u);
  if (picked >= static_cast<int>(records.size())) __builtin_trap();
  if (picked >= 0 && records[static_cast<size_t>(picked)].target.empty()) __builtin_trap();
  return 0;
}
