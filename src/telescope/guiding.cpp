// Self-guiding needs the guider, which is not in this build yet: until it is,
// a self-guided exposure refuses to start with the telescope's own message,
// and the exposure it belongs to is not taken.
#include "telescope/guiding.h"

#include "app/messages.h"
#include "app/state.h"

int StartSelfGuide()
{
    if (!got_vn || telescope == 'n') {
        messages(55);
        return 1;
    }
    if (!picked_star) {
        messages(53);
        return 1;
    }
    messages(54);
    return 2;
}

void SelfGuide()
{
    // Never reached while StartSelfGuide refuses; stops the exposure if it is.
    selfguiding = 0;
    guiding = 0;
}

void SwitchSelfGuide()
{
}
