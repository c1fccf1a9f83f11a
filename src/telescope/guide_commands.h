// The menu commands of the guiding graph, the guiding options and night
// vision.
#pragma once

class TQuillonWindow;

constexpr int cm_guide_graph = 3101;
constexpr int cm_guide_options = 3102;
constexpr int cm_night_vision = 3103;

void CmGuideGraph(TQuillonWindow& window);
void CmGuideOptions(TQuillonWindow& window);
// Toggles night vision, remembers it, and shows the main window's image in
// the new colours.
void CmNightVision(TQuillonWindow& window);
// The main window's picture and background in the mode now in force.
void show_in_night_vision_mode(TQuillonWindow& window);
