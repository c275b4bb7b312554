// The one version source: the version block reads it, and so may any tool
// that needs to know what it is looking at. A new version is this one line;
// the block's texts follow from it.
#pragma once

#define PLUGIN_VERSION_NUMBERS 1, 0, 0, 0
#define PLUGIN_DESCRIPTION "Save and load history plug-in"
#define PLUGIN_COMPANY "History plug-in developers"
#define PLUGIN_COPYRIGHT "Copyright (C) 2026 History plug-in developers"
