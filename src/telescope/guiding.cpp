// Self-guiding needs the guider and the control box link, which are not in
// this build yet: until they are, self-guiding refuses to start with the
// telescope's own message, and the probe says the port could not be opened.
#include "telescope/guiding.h"

#include "app/messages.h"
#include "app/state.h"

int comfound;

int interface_check()
{
    messages(50, "Open Communications Failed");
    return 0;
}

void interface_CR()
{
}

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
