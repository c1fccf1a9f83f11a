#include "app/state.h"

std::string image_name;
std::string DarkFileName, FlatFileName;
int darkframe_loaded, flatfield_loaded;
std::string lastfile;
std::string file_name;
int save_tif, save_FITS;

void reset_state_native()
{
    image_name.clear();
    DarkFileName.clear();
    FlatFileName.clear();
    darkframe_loaded = flatfield_loaded = 0;
    lastfile.clear();
    file_name.clear();
    save_tif = save_FITS = 0;
}
