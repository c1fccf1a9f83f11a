// The simulated mount's own object library: the Messier catalogue, NGC
// numbers (the Messier objects' own and some favourites) and the planets as
// star-library numbers 901..909. Positions are J2000; the planets sit at
// fixed, plausible places.
#pragma once

#include <optional>
#include <string>

namespace sim {

struct SkyObject {
    std::string name; // "M31", "NGC 7000", "Jupiter"
    std::string kind; // "GAL", "GC", "OC", "PN", "NEB", ...
    double ra_hours;
    double dec_degrees;
    double magnitude;
};

// `library` 'M' Messier, 'C' NGC, 'S' star library (planets 901..909).
std::optional<SkyObject> find_object(char library, int number);

} // namespace sim
