// The list box is the list view in list-box mode.
#pragma once

#include "ListView.h"
