// Program state: the plain globals through which every subsystem talks.
//
// Thread model: there is one thread. Long operations (exposures, guiding,
// filters) run inside the command that started them and stay alive by calling
// the message pump (host().clear_messages()). The stop flags below
// (end_loop, no_images, cont_work, series_work, guiding, ...) are the only way
// to end such a loop: the pump sets them when the user presses a key or a
// mouse button, and each loop tests them at its next step.
//
// Globals are grouped by the subsystem that owns their meaning. Each group has
// its start values in one place, state_<group>.cpp, and reset_program_state()
// restores all of them (tests call it before each case).
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------- app (start-up, mouse, modes)
extern int binned, binned21, highres_intl, highres_nonintl;
extern char exp_range;
extern int exp_value, max_exp, min_exp;
extern int no_images;
extern int pause_secs;
extern int download_time;
extern int focus_x, focus_y;
extern std::int16_t focus_width1, focus_height1;
extern int focus_stretch;
extern int focus_delay;
extern int apply_correction;
extern char selfguiding_exp_range;
extern int first_selfguide;
extern int total_images;
extern int Win98;
extern int disable_interrupts;
extern char telescope;
extern int Port;
extern int back_r, back_g, back_b;
extern char default_back;
extern int xcent, ycent;
extern int cur_rad;
extern int star_mask;
extern int old_xcent, old_ycent;
extern int pick_star_small;
extern int orig;
extern int auto_date;
extern char ph_object;
extern int high_venetian;
extern int Filter_Index;
extern char info_caption[51];
// Built from the data root, so held whole whatever the root's length.
extern std::string auto_save_dir;
extern char auto_save_name[101];
extern char FITS_Ins[71];
extern char FITS_Filter[73];
extern double FITS_Pixwidth, FITS_Pixheight;
extern char tele_speed[7], focus_speed[7];
extern int slewx, slewy, slewdefault, default_speed;
extern char e, w, n, s;
extern char slewdir, lastslewx, lastslewy, slewcom;
extern int fst, fst_run;

// Mode flags (all start at 0).
extern int focus_mode, continuous, series_exposure, auto_exposure, exposure_delay, focus_wait;
extern int darkframe_remove, flatfield_remove, auto_save_fits;
extern int max_stretch;
extern int stopit, end_loop, cont_work, series_work;
extern int guiding, training, tracking, selfguiding, selfguiding_darkframe, switch_frame;
extern int pick_star, picked_star, focus_frame, photometry, row_plot, merging, blinking;
extern int Big, Geo, colour_palette, stretch_palette;
extern int got_vn;

// -- mouse on the image
extern int pick_xcent, pick_ycent;   // the picked star, full-resolution sensor column and row
extern int pick_small;               // the pick was made on a binned image
extern int centre_it;                // snap the next click to the nearest star

// ---------------------------------------------------------------- store (frame buffers, files)
// Path of the settings file; derived from the data root at reset.
extern std::string ini_file;

// -- native files: the name shown in the caption and the calibration files.
// Paths are held whole, whatever their length: a fixed-size field would cut
// a long data root short.
extern std::string image_name;
extern std::string DarkFileName, FlatFileName;
extern int darkframe_loaded, flatfield_loaded;
extern std::string lastfile;        // initial name of the next open dialog
extern std::string file_name;       // the file the delete dialog asks about
extern int save_tif, save_FITS;     // the save command's mode, set only around one save

// -- FITS header details
extern char FITS_Obj[70], FITS_Obs[70], FITS_Date[70], FITS_Time[70], FITS_Src[70], FITS_Tel[70];
extern char FITS_Com[257], FITS_His[257];
extern double FITS_Exptime, FITS_Focallen, FITS_Aperture;
extern int FITS_Diff;
extern int FITS_SBIG;
extern int eightbit;

// -- TIFF

// -- settings file
extern int fast_par, Mk2_fast_par, default_port, Losmandy_pause, gotcontrolbox, Debug_Mode;
extern int Show_Interface_Details;

// -- auto-save
extern int auto_save_num;
extern char auto_save_subdir[81];
// Start and end of the exposure in seconds of the program clock; auto-save
// replaces start_exp by the mid-exposure time.
extern long start_exp, end_exp;

// ---------------------------------------------------------------- camera (exposure loop)
extern int exposure;          // ms, exposure time of the next frame
extern int exposure_save;     // ms, the requested exposure, restored after a series
// Now and the end of the current timed wait, in ms of the Clock. 64-bit, so
// the millisecond clock cannot wrap during a run.
extern std::int64_t ticks, endticks;

// -- exposure loop and camera dialog
extern int continuous_delay;        // minutes between continuous frames, 0..20
extern int not_pressed;             // 0 while a unit button or an arrow sets exp_value
extern int max_value;               // peak of the last focus frame, shown in the dialog
extern int selfguiding_exp_value;   // guide-frame exposure in units of selfguiding_exp_range
extern int selfguidinghigh;         // self-guided exposures are high resolution
extern int selfguiding21;           // ... in the fast high-resolution mode
extern int darkframes;              // guide frames the matching dark frame reads
extern int selfguidingframes;       // guide frames read in the last self-guided exposure
extern int switching;               // a self-guided exposure is switching its guide frame now
extern int highres21_selfguide;     // fill the missing field after a self-guided exposure
extern int last_selfguided;         // this run is a self-guided one
extern int pick_star_save;          // star picking was on when the camera command started

// ---------------------------------------------------------------- telescope
extern int backlashx, backlashy, hystx, hysty;
extern int ignore_small;

// -- serial link (LX200 and control box)
extern int Baud, Parity, StopBits, DataBits;  // line settings of the open port
extern int comfound;                          // the link was opened in this run
extern char move_error[100];                  // the telescope's last text ("Info from Scope")
extern char move_direction[7];                // hand-move command, e.g. "#:Me#"
extern char focus_direction[7];               // focuser command, "#:F+#" or "#:F-#"
extern int tele_moving, tele_focussing;       // a hand move / focuser move is running
extern int slew_time;                         // ms of the next timed guide move

// -- guide frame
extern int x3, y3;                  // offsets in thousandths of a pixel
// The guide star position within the guide frame. Not x1, y1: y1 is the C
// library's Bessel function.
extern int guide_x1, guide_y1;
extern int got_guide_image;

// -- training and guiding
extern int x1dec, y1dec;            // tenths of the reference (set by self-guiding only)
extern int x2, x4, x5, y2, y4, y5;  // star positions measured by training (x3, y3 above too)

// -- telescope dialog: the numbers typed and the telescope's last go-to reply
extern int set_Messier, set_CNGC, set_RAhr, set_RAmin, set_Decdeg, set_Decmin;
extern char retchar;

// ---------------------------------------------------------------- processing
// -- star centroid (src/processing/centroid.h)
extern int xcentdec, ycentdec;      // tenths of a pixel, guiding precision only
extern int drawx, drawy;            // the centred star's place in the guide frame

// -- contrast
extern unsigned short stretch_table[32768];   // index sample / 2 -> output sample / 2
extern std::uint32_t black, white;            // shared small parameters of several dialogs
extern double power_str;

// -- filters
extern int mask[6][25];            // the convolution kernels, row by row; radius-1 kernels use 9
extern int venetian_flipflop;       // toggled by every vertical smoothing: 1 pairs rows downward

// -- calibration and combining
extern char merge_type;             // 's' subtract, 'a' average, 'f' flat field
extern int average, merge_centre;
extern int orig_x, orig_y, merge_x, merge_y;
// Path-only modes of the shared file selection (dark, flat, comparison, delete).
extern int load_darkframe, load_flatfield, load_comparison, delete_file;
extern std::string ComparisonFileName;
// The two images handed to the interactive merge, captured with each mark:
// the second image (image) and the base image (trial).
extern unsigned short* extfredptr;
extern unsigned short* exttrialptr;
// Raw bytes of a FITS dark or flat file before conversion (a full frame).
extern unsigned char pixels_int[872320];

// -- labelling
extern char txtbuffer[32];          // the label text (at most 30 characters taken)
extern int auto_FITS_date;          // label with the image's FITS date instead of the clock

// ---------------------------------------------------------------- display
// -- display pipeline
extern std::uint32_t table[257];   // histogram of sample >> 8; entry 256 stays 0
extern std::int32_t most_pop;      // background level as a bin 0..255
extern int prep_image, blink_it, back_changed, focussed;

// -- information and progress windows
extern int progress;               // 0..256
extern char progress_caption[61];   // long enough for every read-out caption
extern int changecaption;

// -- plots
extern int hist_already, intensity_plot;   // the histogram and 3-D windows are open
extern unsigned short* externptr;          // the frame the 3-D and row plots read
extern char workfld2[256];                 // the clipped levels listed beside the histogram

// -- photometry and blink
// Measured points and their aperture sums; obj_y is also the row-plot row.
extern int obj_x, obj_y, comp_x, comp_y, back_x, back_y;
extern std::uint32_t obj_val, comp_val, back_val;
extern int back_select;                    // a background was chosen in this run
extern int mast_x, mast_y, mast_val;       // the pixel under the cursor
extern int comparison_loaded;

// Restores every global to its compiled-in start value and re-derives the
// paths from the data root. Does not touch the frame buffers' contents.
void reset_program_state();

// Per-group resets called by reset_program_state(); each lives beside its
// group's definitions (state_<group>.cpp).
void reset_state_app();
void reset_state_mouse();
void reset_state_store();
void reset_state_native();
void reset_state_fits();
void reset_state_tiff();
void reset_state_settings();
void reset_state_autosave();
void reset_state_camera();
void reset_state_telescope();
void reset_state_centroid();
void reset_state_guiding();
void reset_state_processing();
void reset_state_contrast();
void reset_state_filters();
void reset_state_calibration();
void reset_state_labelling();
void reset_state_display();
void reset_state_pipeline();
void reset_state_info();
void reset_state_plots();
void reset_state_photometry();
