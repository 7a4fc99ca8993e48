#pragma once

// Resource ids of the bare dialog, shared by its program and its resource script.
#define IDD_BARE_DIALOG 100
