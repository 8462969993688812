#include "mapwriter/MapWriter.h"
