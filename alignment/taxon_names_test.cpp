#include "alignment/taxon_names.h"
