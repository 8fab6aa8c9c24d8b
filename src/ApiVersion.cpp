// The API version this build declares to the host: that of the release it is built for
// (ACAD_HOST_RELEASE).
#include "rxapiver.h"
