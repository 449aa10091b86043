// The program's icon: 32 x 32 and 16 x 16, 16 colours, on every window.
#pragma once

#include "toolkit/form_description.h"

extern const IconDescription kProgramIcon;
