#include "app/quillon_app.h"
#include "app/state.h"

int main(int argc, char** argv)
{
    // All globals hold their compiled-in values before anything else runs.
    reset_program_state();
    TQuillonApp app(argc, argv);
    app.InitInstance();
    return app.exec();
}
