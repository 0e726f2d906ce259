#include "app/Version.h"
