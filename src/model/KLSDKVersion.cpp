// The exported version symbols. The identification text stays in the binary even when
// nothing in the process reads it.
#include <KelvoUISDK/KLSDKVersion.h>

const char *const KLSDKVersion = "1.0.0";
__attribute__((used)) const double KelvoUISDKVersionNumber = 1.0;
__attribute__((used)) const unsigned char KelvoUISDKVersionString[] =
    "@(#)PROGRAM:KelvoUISDK  PROJECT:KelvoUISDK-1\n";
