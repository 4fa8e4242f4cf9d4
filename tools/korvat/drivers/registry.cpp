// The online drivers of `korvat send`. Adding one: see driver.h.
#include "tools/korvat/drivers/driver.h"

#include <algorithm>

#include "tools/korvat/adapters/adapter.h"

#define KORVAT_DRIVERS(KORVAT_DRIVER) \
    KORVAT_DRIVER(kB268)              \
    KORVAT_DRIVER(kChpgla)            \
    KORVAT_DRIVER(kCsms68a)           \
    KORVAT_DRIVER(kCeurobox)

namespace korvat::tool {

#define KORVAT_DECLARE(name) extern const DriverClass name;
KORVAT_DRIVERS(KORVAT_DECLARE)
#define KORVAT_LIST(name) &name,
const DriverClass* const kDrivers[] = {KORVAT_DRIVERS(KORVAT_LIST) nullptr};

double CoordinateLimit(const DriverClass& d, const Machine& machine) {
    const double range = WriterClass::kMachineRange;
    return d.limit ? std::min(range, d.limit(machine)) : range;
}

const DriverClass* FindDriver(std::string_view name) {
    for (const DriverClass* const* d = kDrivers; *d != nullptr; ++d)
        if (name == (*d)->name) return *d;
    return nullptr;
}

}  // namespace korvat::tool
