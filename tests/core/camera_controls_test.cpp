#include <gtest/gtest.h>

#include "app/state.h"
#include "camera/camera_controls.h"
#include "test_env.h"

TEST(CameraControls, UnitButtonsTypedValuesAndArrows)
{
    struct Case {
        char unit;
        int limit, start;
        const char* typed;
        int after_typing;
    };
    // A typed value must lie above 0 and below the unit's limit.
    for (const Case& c : { Case { 'q', 1000, 5, "999", 999 }, Case { 'h', 500, 5, "500", 5 },
             Case { 't', 100, 1, "4", 4 }, Case { 's', 300, 1, " 12 ", 12 }, Case { 'm', 90, 1, "90", 1 },
             Case { 's', 300, 1, "0", 1 }, Case { 's', 300, 1, "-5", 1 }, Case { 's', 300, 1, "7x", 1 } }) {
        SCOPED_TRACE(std::string(1, c.unit) + " typed " + c.typed);
        exp_value = 77;
        set_exposure_unit(c.unit);
        EXPECT_EQ(exp_range, c.unit);
        EXPECT_EQ(max_exp, c.limit);
        EXPECT_EQ(exp_value, c.start);
        take_typed_exposure(c.typed);
        EXPECT_EQ(exp_value, c.after_typing);
    }

    // The down arrow adds; both stop at the unit's bounds.
    set_exposure_unit('m');
    exposure_arrow(false);
    EXPECT_EQ(exp_value, 1);
    for (int i = 0; i < 100; ++i)
        exposure_arrow(true);
    EXPECT_EQ(exp_value, 90);
    for (int i = 0; i < 120; ++i)
        images_arrow(true);
    EXPECT_EQ(no_images, 99);
    for (int i = 0; i < 30; ++i)
        continuous_delay_arrow(true);
    EXPECT_EQ(continuous_delay, 20);
    for (int i = 0; i < 30; ++i)
        continuous_delay_arrow(false);
    EXPECT_EQ(continuous_delay, 0);

    // The focus gain bar keeps to 10..16.
    focus_stretch_scroll(StretchScroll::page_down, 0);
    focus_stretch_scroll(StretchScroll::line_down, 0);
    EXPECT_EQ(focus_stretch, 16);
    focus_stretch_scroll(StretchScroll::thumb, 11);
    focus_stretch_scroll(StretchScroll::line_up, 0);
    focus_stretch_scroll(StretchScroll::line_up, 0);
    EXPECT_EQ(focus_stretch, 10);
}

TEST(CameraControls, SelfGuideAcceptsOnlyShortGuideFrames)
{
    auto& env = test_env();
    struct Case {
        char unit;
        int value;
        CameraMode mode;
        bool accepted;
        int switch_flag, high, fast;
        CameraMode mode_after;
    };
    for (const Case& c : {
             Case { 's', 15, CameraMode::standard, false, 0, 0, 0, CameraMode::standard },
             Case { 's', 10, CameraMode::standard, true, 0, 0, 0, CameraMode::standard },
             Case { 'q', 11999, CameraMode::high_res_fast, true, 1, 1, 1, CameraMode::high_res_fast },
             Case { 't', 120, CameraMode::standard, false, 0, 0, 0, CameraMode::standard },
             Case { 'm', 1, CameraMode::standard, false, 0, 0, 0, CameraMode::standard },
             // The single-exposure mode has no mid-exposure switch.
             Case {
                 'h', 50, CameraMode::high_res_progressive, true, 1, 1, 0, CameraMode::high_res_interlaced },
         }) {
        SCOPED_TRACE(std::to_string(c.value) + c.unit);
        gotcontrolbox = 1; // the box was found: no probe
        set_camera_mode(c.mode);
        exp_range = c.unit;
        exp_value = c.value;
        env.host.beeps = 0;
        SetSelfGuiding();
        EXPECT_EQ(selfguiding, c.accepted ? 1 : 0);
        EXPECT_EQ(camera_mode(), c.mode_after);
        if (!c.accepted) {
            EXPECT_EQ(env.host.beeps, 1);
            continue;
        }
        EXPECT_EQ(selfguiding_exp_value, c.value);
        EXPECT_EQ(selfguiding_exp_range, c.unit);
        EXPECT_EQ(switch_frame, c.switch_flag);
        EXPECT_EQ(selfguidinghigh, c.high);
        EXPECT_EQ(selfguiding21, c.fast);
        // A second click disarms.
        SetSelfGuiding();
        EXPECT_EQ(selfguiding, 0);
    }
    selfguiding_exp_range = 's';
    EXPECT_STREQ(selfguiding_unit_word(), "seconds");
    selfguidinghigh = 1;
    EXPECT_STREQ(selfguiding_resolution_text(), "High Resolution  - Interlaced");

    // The matching dark frame takes as many guide frames as the last
    // self-guided exposure read.
    selfguidingframes = 42;
    set_camera_mode(CameraMode::high_res_interlaced);
    SetSelfGuidingDarkframe();
    EXPECT_EQ(selfguiding_darkframe, 1);
    EXPECT_EQ(darkframes, 42);
    EXPECT_EQ(selfguiding, 1);
    SetSelfGuidingDarkframe();
    EXPECT_EQ(selfguiding, 0);
}

TEST(CameraControls, SeriesSavesAndFocusModeRefusesLongExposures)
{
    auto_save_fits = 0;
    toggle_series_exposure();
    EXPECT_EQ(series_exposure, 1);
    EXPECT_EQ(auto_save_fits, 1);
    toggle_series_exposure();
    EXPECT_EQ(auto_save_fits, 1);

    set_exposure_unit('m');
    EXPECT_TRUE(focus_mode_refused());
    set_exposure_unit('h');
    exp_value = 99;
    EXPECT_FALSE(focus_mode_refused());
    exp_value = 100;
    EXPECT_TRUE(focus_mode_refused());
}
