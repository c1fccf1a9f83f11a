// The program's object library: the Messier catalogue, NGC numbers (the
// Messier objects' own and some favourites) and the planets as star-library
// numbers 901..909. Positions are J2000; the planets sit at fixed, plausible
// places. The simulated mount answers go-tos from it, and a link whose mount
// takes coordinates only (INDI) turns a catalogue go-to into coordinates
// with it.
#pragma once

#include <optional>
#include <string>

struct SkyObject {
    std::string name; // "M31", "NGC 7000", "Jupiter"
    std::string kind; // "GAL", "GC", "OC", "PN", "NEB", ...
    double ra_hours;
    double dec_degrees;
    double magnitude;
};

// `library` 'M' Messier, 'C' NGC, 'S' star library (planets 901..909).
std::optional<SkyObject> find_object(char library, int number);
// The same for the letters of a catalogue go-to (TelescopeLink::
// go_to_object): 'm' Messier, 's' the star library, anything else NGC.
std::optional<SkyObject> find_catalogue_object(char go_to_library, int number);
