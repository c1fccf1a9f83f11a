// The telescope kind 'i': a mount (and focuser) on an INDI server, behind
// the same TelescopeLink the LX200 link and the control box implement.
#pragma once

#include <memory>

#include "telescope/telescope_link.h"

constexpr char indi_telescope_kind = 'i';

// Makes 'i' a choice of the `telescope` setting (program start, tests).
void register_indi_telescope_link();
std::unique_ptr<TelescopeLink> make_indi_telescope_link();
