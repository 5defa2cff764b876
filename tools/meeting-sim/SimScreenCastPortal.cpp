// The stand-in portal is small enough to live in its header; this unit gives its meta-object
// (and the D-Bus types' registration it needs) one home in the library.
#include "SimScreenCastPortal.h"
