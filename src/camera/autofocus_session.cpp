#include "camera/autofocus_session.h"

#include <algorithm>
#include <vector>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/focus_loop.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "store/buffers.h"
#include "telescope/telescope_link.h"

namespace {
const char* const autofocus_caption = "Quillon - Autofocus";
}

StarMeasure take_autofocus_frame(bool& frame_came)
{
    imageptr = image_int;
    charimageptr = reinterpret_cast<unsigned char*>(image_int);
    event_pump().wait_cursor(true);
    const int peak = VN_camera_read();
    event_pump().wait_cursor(false);
    frame_came = peak >= 0;
    if (!frame_came)
        return {};
    max_value = peak;
    return measure_focus_frame(last_focus_frame_raw());
}

bool autofocus_with_telescope(AutofocusView* view, AutofocusResult& result)
{
    if (!got_vn) {
        UsbDeviceRecord records[usb_device_records];
        USBHid::CollectingUSBHidInfo(records);
        VN_reader();
        if (!got_vn) {
            messages(50, "Sorry, No camera found on USB");
            return false;
        }
    }
    if (focus_mode_refused()) {
        event_pump().message_box("Autofocus takes focus frames: choose an exposure under 100 seconds first "
                                 "(Zq Camera Interface)",
            autofocus_caption);
        return false;
    }
    if (!telescope_link().has_focuser()) {
        event_pump().message_box(
            "Autofocus needs a telescope with a focuser (Set Program Defaults)", autofocus_caption);
        return false;
    }
    comm_check();
    if (!comfound)
        return false;
    // The focus frames land where the image is kept: it comes back after.
    std::vector<unsigned short> kept(image_int, image_int + window_side * window_side);
    result = run_autofocus(telescope_link(), focus_speed[3] == 'F', take_autofocus_frame,
        stored_autofocus_settings(), view);
    std::copy(kept.begin(), kept.end(), image_int);
    return true;
}
