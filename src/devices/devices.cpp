#include "devices/devices.h"
