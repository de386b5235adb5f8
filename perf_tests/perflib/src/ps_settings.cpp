#include "ps_settings.h"

psSettings g_settings;
