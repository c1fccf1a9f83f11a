#include "app/messages.h"

#include <cstring>

#include "app/host.h"

namespace {
// Index = message number; the duplicates are separate numbers because
// different callers raise them.
const char* const fixed_texts[] = {
    "", // 0
    "Warning!\nNo INI file found, please set defaults...",
    "ZQ Interface not found.\n\nPort set to default.\n\nIf you have a ZQ Camera make sure all the cables are "
    "plugged in and it is switched on. ",
    "Failed to Open Darkframe ZQ File",
    "Sorry, chosen Darkframe is not an ZQ File",
    "Failed to Open Flatfield ZQ File",
    "Sorry, chosen Flatfield is not a ZQ File",
    "Image not Colour Converted",
    "Failed to create temp bitmap",
    "Unable to create temp bitmap file header",
    "Unable to create temp bitmap file", // 10
    "Failed to Open ZQ File",
    "Sorry, you didn't choose a valid ZQ File",
    "Unable to load FITS file",
    "Unable to load FITS file, File was not saved by this program",
    "Unable to load FITS file, File was not saved by this program",
    "Sorry, you didn't choose an ZQ File",
    "Failed to Save ZQ File",
    "Unable to create/overwrite ZQ File",
    "Unable to create/overwrite ZQ File",
    "Unable to load INI file, please delete and try again", // 20
    "Unable to save INI file, please check disk space",
    "Unable to create file, check disk space",
    "Unable to load INI file, please delete and try again",
    "Unable to save INI file, please check disk space",
    "Image not Colour Converted",
    "Unable to contact camera, please check cables",
    "Unable to load INI file, please delete and try again",
    "Unable to save INI file, please check disk space",
    "Unable to create file, check disk space",
    "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit window or in ZQ "
    "geometry.", // 30
    "Sorry, you are already in Merging mode.",
    "Cannot open bitmap file",
    "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different intensity to previous "
    "reading (+/-5%)",
    "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next brightest.",
    "Sorry, Can Only Select Star in Standard or 150% Display Options.",
    "Sorry. No Connection to Telescope",
    "Sorry, you cannot run Photometry, Row Plot and Merging at the same time",
    "Sorry, Photometry only available in standard Geometry. Ensure Image is not stretched to fit window or in "
    "ZQ geometry.",
    "Sorry, you are already in Photometry mode. Click left Mouse button when on object you wish to measure",
    "Sorry, outside Image area - try again", // 40
    "You didn't choose an ZQ or a suitable FITS File",
    "Unable to load INI file, defaults set",
    "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit window or in ZQ "
    "geometry.",
    "Sorry, you are already in Merging mode.",
    "Failed to Open ZQ or suitable FITs File",
    "Sorry, chosen Comparison file is not an ZQ or FITs File",
    "Sorry, Rowplot is only available in Standard Geometry",
    "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched to fit window",
    "Unable to create file, check disk space",
    "", // 50: the caller's text
    "Guiding Terminated",
    "Sorry! Mk 2 Controlbox not present. Self-guiding not available",
    "You must first take an image and pick a star",
    "Communication with telescope failed",
    "Telescope interface not set or camera not found",
    "", // 56
    // 57: the exposure loop raises it where it abandons a self-guided
    // exposure; an empty box would tell the user nothing.
    "Self-guiding stopped - exposure abandoned",
};
constexpr int text_count = sizeof fixed_texts / sizeof fixed_texts[0];
constexpr std::size_t free_text_limit = 498;
} // namespace

std::string message_text(int number, const char* details)
{
    if (number == 50) {
        if (details == nullptr)
            return {};
        return std::string(details, strnlen(details, free_text_limit));
    }
    if (number <= 0 || number >= text_count)
        return {};
    return fixed_texts[number];
}

int messages(int number, const char* details)
{
    return host().message_box(message_text(number, details), app_caption);
}
