/* The plugin's version, in the one place both the code and the Windows
 * version resource read it: GetPluginVersion gives
 * major * 100 + minor * 10 + patch, the resource says major.minor.patch.0.
 * Plain C preprocessor definitions, so that windres can read them. */
#ifndef QTR_PLUGIN_VERSION_H
#define QTR_PLUGIN_VERSION_H

#define QTR_VERSION_MAJOR 1
#define QTR_VERSION_MINOR 1
#define QTR_VERSION_PATCH 1
#define QTR_VERSION_TEXT "1.1.1.0"

#endif
