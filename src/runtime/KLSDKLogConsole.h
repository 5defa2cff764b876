#pragma once

#include <cstdio>

/// Where console lines go when no printer is installed: stderr unless a test redirects it.
/// Library code never writes to stdout.
namespace KLSDKLogConsole {
FILE *stream();
void setStream(FILE *stream);
} // namespace KLSDKLogConsole
