// String ids of core.dll's own texts.
#pragma once

#define IDS_PLUGIN_CANNOT_LOAD 100
#define IDS_PLUGIN_MISSING_EXPORT 101
#define IDS_PLUGIN_OTHER_VERSION 102
#define IDS_PLUGIN_NO_CLASS 103
