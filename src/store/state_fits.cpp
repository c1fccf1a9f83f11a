#include "app/state.h"

#include <cstring>

char FITS_Obj[70], FITS_Obs[70], FITS_Date[70], FITS_Time[70], FITS_Src[70], FITS_Tel[70];
char FITS_Com[257], FITS_His[257];
double FITS_Exptime, FITS_Focallen, FITS_Aperture;
int FITS_Diff;
int FITS_SBIG;
int eightbit;

void reset_state_fits()
{
    for (char* field : {FITS_Obj, FITS_Obs, FITS_Date, FITS_Time, FITS_Src, FITS_Tel})
        std::memset(field, 0, 70);
    std::memset(FITS_Com, 0, sizeof FITS_Com);
    std::memset(FITS_His, 0, sizeof FITS_His);
    FITS_Exptime = FITS_Focallen = FITS_Aperture = 0.0;
    FITS_Diff = 0;
    FITS_SBIG = 0;
    eightbit = 0;
}
