#pragma once
// The four dialogs the program creates at start and shows again and again.
#include "catalogue/Otevrit.h"
#include "import/Identifikace.h"
#include "import/Import.h"
#include "results/Vysledek.h"
