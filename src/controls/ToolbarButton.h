#pragma once
// The flat toolbar button and the flat edit box together.
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
