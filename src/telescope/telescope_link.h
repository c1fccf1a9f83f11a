// TelescopeLink: what training, guiding, go-to, hand moves, the focuser and
// "Info from Scope" ask of a mount, whatever carries it. The `telescope`
// setting picks the kind in one place (telescope_link()); each kind is one
// implementation registered under its letter: 'l' the LX200 link and 'b' the
// guide-port control box (built in), and any kind a library adds at start
// with register_telescope_link().
//
// Every operation runs on the caller's thread and returns when its work on
// the wire is done; timed waits go through the core wait, so a manual clock
// runs them at once. Failures are reported by the link itself (one message),
// after which the link counts as closed (`comfound` 0) and the next need
// opens it again.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

// What a go-to brought back.
struct GotoReply {
    // '0' accepted; any other character refused; 0 when nothing answered.
    char reply = 0;
    // The mount's own words for a refusal ("Object Below Horizon#"); empty
    // when accepted or when it gave none.
    std::string reason;
    bool accepted() const { return reply == '0'; }
};

// A position on the sky: right ascension in hours, declination in degrees.
struct SkyPosition {
    double ra_hours = 0.0;
    double dec_degrees = 0.0;
};

class TelescopeLink {
public:
    virtual ~TelescopeLink() = default;

    // The `telescope` letter this link answers to.
    virtual char kind() const = 0;

    // Opens the device. False when the mount cannot be reached (the link has
    // said why). Callers go through open_telescope_link(), which opens once
    // per run and again after a failure.
    virtual bool open() = 0;
    // Releases the device.
    virtual void close() = 0;
    // Brings the device to attention before guiding, self-guiding and the
    // hand-move dialog (the box's wake-up sequence; nothing for most).
    virtual void wake() {}
    // Called once before a guider training measures anything.
    virtual void before_training() {}

    // One timed guide pulse: `direction` is a letter of the swappable e, w,
    // n, s; `ms` its length. Returns once the pulse has ended; false when
    // the link failed (reported, link closed).
    virtual bool guide_pulse(char direction, int ms) = 0;

    // Whether the mount is still there, asked once a guide frame: a link
    // that can lose its mount between pulses (a network) checks here and
    // reports the loss like a failed pulse.
    virtual bool healthy() { return true; }

    // Hand moves: start moving towards `direction` (as for guide_pulse) at
    // `rate` ('S' slew, 'M' find, 'C' centre, 'G' guide); it runs until
    // stop_move(), which stops every direction.
    virtual void start_move(char direction, char rate) = 0;
    virtual void stop_move() = 0;

    // Whether the mount can go to objects and coordinates; without it the
    // hand-move arrows are all a user gets.
    virtual bool can_go_to() const { return false; }
    // Go to a catalogue object: `library` 'm' Messier, 's' the star library
    // (planets 901..909), anything else NGC. What the mount says of the
    // target is left in `move_error` ("Info from Scope").
    virtual GotoReply go_to_object(char library, int number);
    // Go to coordinates as typed (already checked): hours, minutes,
    // degrees (the sign of the declination), minutes.
    virtual GotoReply go_to_coordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes);
    // Where the mount points, when it can say.
    virtual std::optional<SkyPosition> coordinates() { return std::nullopt; }

    // The focuser: start moving inward or outward at the fast or slow speed;
    // it runs until stop_focus().
    virtual bool has_focuser() const { return false; }
    virtual void start_focus(bool inward, bool fast);
    virtual void stop_focus() {}
    // A timed focuser move: `ms` long, then stopped. False when there is no
    // focuser or the link failed.
    bool focus_for(bool inward, int ms, bool fast);

    // The last failure in words; empty when nothing has failed.
    virtual std::string last_error() const = 0;
};

using TelescopeLinkFactory = std::function<std::unique_ptr<TelescopeLink>()>;

// Makes `kind` a choice of the `telescope` setting. The link is made on its
// first use and kept for the run; registering a kind again replaces it (and
// drops the link made from the old factory).
void register_telescope_link(char kind, TelescopeLinkFactory factory);
// Whether a kind is registered.
bool telescope_link_known(char kind);

// The link of the current `telescope` setting. For 'n' or a kind nobody
// registered, a link that reaches nothing: open() fails and every move is
// refused.
TelescopeLink& telescope_link();

// Connect on demand: opens the chosen link unless it is open (`comfound`).
// First reloads the settings file (message `ini_message` and a fresh file
// when that fails). When the link cannot be opened, `telescope` becomes 'n'
// and "Sorry. No Connection to Telescope" is shown. True when open.
bool open_telescope_link(int ini_message);

// Opens the configured device once per run (connect on demand) as guiding
// and self-guiding do.
void comm_check();
// The variant guider training uses: also sets `gotcontrolbox` on every path
// but a failure to open.
void comm_check_training();

// One timed guide move in `slewdir` for `slew_time` ms through the chosen
// link. 0, or -1 when the link failed (reported once).
int drive_slew();
