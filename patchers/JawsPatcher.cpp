#include "patchers/JawsPatcher.h"

#include "app/MainDialog.h"

int JawsPatcher::Install(MainDialog* dialog) {
    owner = dialog;
    return 0;
}
