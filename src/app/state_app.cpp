#include "app/state.h"

#include "app/text_field.h"

int binned, binned21, highres_intl, highres_nonintl;
char exp_range;
int exp_value, max_exp, min_exp;
int no_images;
int pause_secs;
int download_time;
int focus_x, focus_y;
std::int16_t focus_width1, focus_height1;
int focus_stretch;
int focus_delay;
int apply_correction;
char selfguiding_exp_range;
int first_selfguide;
int total_images;
int Win98;
int disable_interrupts;
char telescope;
int Port;
int back_r, back_g, back_b;
char default_back;
int xcent, ycent;
int cur_rad;
int star_mask;
int old_xcent, old_ycent;
int pick_star_small;
int orig;
int auto_date;
char ph_object;
int high_venetian;
int Filter_Index;
char info_caption[51];
std::string auto_save_dir;
char auto_save_name[101];
char FITS_Ins[71];
char FITS_Filter[73];
double FITS_Pixwidth, FITS_Pixheight;
char tele_speed[7], focus_speed[7];
int slewx, slewy, slewdefault, default_speed;
char e, w, n, s;
char slewdir, lastslewx, lastslewy, slewcom;
int fst, fst_run;

int focus_mode, continuous, series_exposure, auto_exposure, exposure_delay, focus_wait;
int darkframe_remove, flatfield_remove, auto_save_fits;
int max_stretch;
int stopit, end_loop, cont_work, series_work;
int guiding, training, tracking, selfguiding, selfguiding_darkframe, switch_frame;
int pick_star, picked_star, focus_frame, photometry, row_plot, merging, blinking;
int Big, Geo, colour_palette, stretch_palette;
int got_vn;

void reset_state_app()
{
    // The geometry globals (width1 ...) belong to the frame buffers and are
    // derived from `binned` by ZQ_binned() in reset_state_store().
    binned = 1;
    binned21 = highres_intl = highres_nonintl = 0;
    exp_range = 's';
    exp_value = 1;
    max_exp = 300;
    min_exp = 1;
    no_images = 1;
    pause_secs = 10;
    download_time = 3000;
    focus_x = 312;
    focus_y = 65;
    focus_width1 = focus_height1 = 64;
    focus_stretch = 12;
    focus_delay = 1;
    apply_correction = 1;
    selfguiding_exp_range = 's';
    first_selfguide = 1;
    total_images = 1;
    // Linux is never the older desktop family whose downloads mask interrupts.
    Win98 = 0;
    disable_interrupts = 1;
    telescope = 'n';
    Port = 1;
    back_r = back_g = back_b = 192;
    default_back = 'l';
    xcent = ycent = 50;
    cur_rad = 4;
    star_mask = 8;
    old_xcent = old_ycent = 64;
    pick_star_small = 1;
    orig = 1;
    auto_date = 1;
    ph_object = 'o';
    high_venetian = 1;
    Filter_Index = 3;
    set_text(info_caption, "Guiding Info");
    set_text(auto_save_name, "IMG");
    set_text(FITS_Ins, "Vantrel CCD");
    set_text(FITS_Filter, "None");
    FITS_Pixwidth = 0.0098;
    FITS_Pixheight = 0.0126;
    set_text(tele_speed, "#:RS#");
    set_text(focus_speed, "#:FF#");
    slewx = slewy = 2;
    slewdefault = default_speed = 1;
    e = 'e';
    w = 'w';
    n = 'n';
    s = 's';
    slewdir = 'e';
    lastslewx = 'e';
    lastslewy = 'n';
    slewcom = '1';
    fst = fst_run = 1;

    focus_mode = continuous = series_exposure = auto_exposure = exposure_delay = focus_wait = 0;
    darkframe_remove = flatfield_remove = auto_save_fits = 0;
    max_stretch = 0;
    stopit = end_loop = cont_work = series_work = 0;
    guiding = training = tracking = selfguiding = selfguiding_darkframe = switch_frame = 0;
    pick_star = picked_star = focus_frame = photometry = row_plot = merging = blinking = 0;
    Big = Geo = colour_palette = stretch_palette = 0;
    got_vn = 0;
}
