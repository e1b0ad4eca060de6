#include "Schema.h"
