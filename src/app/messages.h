// The numbered messages: every refusal, failure and notice the program shows.
#pragma once

#include <string>

// The caption of every box.
inline constexpr const char* app_caption = "Quillon";

// The text of message `number`: 1..49 and 51..55 are fixed texts, 50 is
// `details` cut after 498 characters, everything else is empty.
std::string message_text(int number, const char* details);

// Shows message `number` in a modal OK box captioned "Quillon" through the
// host and returns the box's result.
int messages(int number, const char* details = nullptr);
