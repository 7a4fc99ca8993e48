#include "patchers/DolphinPatcher.h"

#include "app/MainDialog.h"

int DolphinPatcher::Install(MainDialog* dialog) {
    owner = dialog;
    return 0;
}
