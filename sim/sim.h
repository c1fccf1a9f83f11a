// The simulated camera and telescope, sharing one sky model. Filled by the
// camera and telescope work.
#pragma once
