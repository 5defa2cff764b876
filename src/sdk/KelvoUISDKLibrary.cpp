// Translation unit of the shared KelvoUISDK library. Everything it exports comes from the
// core, linked whole; this file only gives the shared target a source of its own.
#include <KelvoUISDK/KelvoUISDKExport.h>
