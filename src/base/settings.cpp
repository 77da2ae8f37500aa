#include "base/settings.h"

Settings g_settings;
