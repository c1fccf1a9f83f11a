// The simulated camera and telescope, sharing one sky model.
#pragma once

#include "sim/sim_camera.h"
#include "sim/sky_model.h"
