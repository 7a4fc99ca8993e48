#include "install/DriverRemoval.h"

#include "app/MainDialog.h"

void RemoveDriver(const MainDialog&) {}
