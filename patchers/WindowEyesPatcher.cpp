#include "patchers/WindowEyesPatcher.h"

#include "app/MainDialog.h"

int WindowEyesPatcher::Install(MainDialog* dialog) {
    owner = dialog;
    return 0;
}
