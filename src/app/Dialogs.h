#pragma once
// The dialogs the program creates at start and shows again and again.
#include "app/Nastaveni.h"
#include "catalogue/Otevrit.h"
#include "import/Identifikace.h"
#include "import/Import.h"
#include "results/Vysledek.h"
