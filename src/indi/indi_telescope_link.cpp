#include "indi/indi_telescope_link.h"

#include <cstdio>

#include "app/messages.h"
#include "app/state.h"
#include "app/text_field.h"
#include "indi/indi_link.h"
#include "telescope/object_library.h"

namespace {

class IndiTelescopeLink : public TelescopeLink {
public:
    char kind() const override { return indi_telescope_kind; }

    bool open() override
    {
        std::string error;
        mount_ = open_indi_mount(error);
        if (mount_ == nullptr) {
            error_ = error;
            messages(50, error.c_str());
            return false;
        }
        error_.clear();
        return true;
    }

    void close() override
    {
        if (mount_ != nullptr) {
            mount_->stop_move();
            mount_->stop_focus();
        }
        mount_ = nullptr;
        close_indi_link();
    }

    bool guide_pulse(char direction, int ms) override
    {
        if (mount_ == nullptr)
            return fail("The INDI mount is not open");
        return mount_->pulse(direction, ms) || fail(mount_->error());
    }

    bool healthy() override
    {
        if (mount_ == nullptr)
            return fail("The INDI mount is not open");
        return mount_->healthy() || fail(mount_->error());
    }

    void start_move(char direction, char rate) override
    {
        // The mount's own rates, slowest first: guide, centre, find, slew.
        const int index = rate == 'G' ? 0 : rate == 'C' ? 1 : rate == 'M' ? 2 : 99;
        if (mount_ != nullptr && !mount_->start_move(direction, index))
            fail(mount_->error());
    }

    void stop_move() override
    {
        tele_moving = 0;
        if (mount_ != nullptr)
            mount_->stop_move();
    }

    bool can_go_to() const override { return true; }

    GotoReply go_to_object(char library, int number) override
    {
        const auto object = find_catalogue_object(library, number);
        if (!object)
            return { '1', "Not in the object library" };
        return go_to({ object->ra_hours, object->dec_degrees }, object->name, object->kind);
    }

    GotoReply go_to_coordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) override
    {
        const double dec = dec_degrees < 0 ? dec_degrees - dec_minutes / 60.0 : dec_degrees + dec_minutes / 60.0;
        char name[48];
        std::snprintf(name, sizeof name, "RA %02dh%02dm Dec %+03d %02d'", ra_hours, ra_minutes, dec_degrees,
            dec_minutes);
        return go_to({ ra_hours + ra_minutes / 60.0, dec }, name, "");
    }

    std::optional<SkyPosition> coordinates() override
    {
        Equatorial e;
        if (mount_ == nullptr || !mount_->coordinates(e))
            return std::nullopt;
        return SkyPosition { e.ra_hours, e.dec_degrees };
    }

    bool has_focuser() const override { return !indi_settings().focuser.empty(); }

    void start_focus(bool inward, bool fast) override
    {
        if (mount_ == nullptr)
            return;
        tele_focussing = 1;
        if (!mount_->start_focus(inward ? -1 : 1, fast)) {
            tele_focussing = 0;
            error_ = mount_->error();
            messages(50, error_.c_str());
        }
    }

    void stop_focus() override
    {
        tele_focussing = 0;
        if (mount_ != nullptr)
            mount_->stop_focus();
    }

    std::string last_error() const override { return error_; }

private:
    GotoReply go_to(const Equatorial& j2000, const std::string& name, const std::string& kind)
    {
        set_text(move_error, "");
        if (mount_ == nullptr)
            return { 0, "The INDI mount is not open" };
        switch (mount_->goto_j2000(j2000, name)) {
        case GotoOutcome::arrived: {
            // "Info from Scope": what it is and where the mount now points.
            Equatorial at = mount_->last_target();
            mount_->coordinates(at);
            const std::string info = name + (kind.empty() ? "" : " " + kind) + " " + format_ra(at.ra_hours) + " "
                + format_dec(at.dec_degrees) + " (of date)";
            set_text(move_error, info);
            return { '0', {} };
        }
        case GotoOutcome::refused:
        case GotoOutcome::aborted:
            return { '1', mount_->error() };
        case GotoOutcome::failed:
        default:
            fail(mount_->error());
            return { 0, error_ };
        }
    }

    // A link fault: said once, and the link counts as closed, so the next
    // need opens it again.
    bool fail(const std::string& text)
    {
        error_ = text;
        messages(50, text.c_str());
        comfound = 0;
        mount_ = nullptr;
        return false;
    }

    IndiMount* mount_ = nullptr;
    std::string error_;
};

} // namespace

std::unique_ptr<TelescopeLink> make_indi_telescope_link()
{
    return std::make_unique<IndiTelescopeLink>();
}

void register_indi_telescope_link()
{
    register_telescope_link(indi_telescope_kind, make_indi_telescope_link);
}
