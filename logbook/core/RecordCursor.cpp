#include "RecordCursor.h"
