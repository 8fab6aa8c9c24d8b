// The plug-in's one doorway to the host interface: every host header the plug-in uses.
#pragma once

#include "acadstrc.h"
#include "accmd.h"
#include "acdocman.h"
#include "acedads.h"
#include "acrxapp.h"
#include "acutads.h"
#include "dbdim.h"
#include "dbents.h"
#include "dbfield.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "rxregsvc.h"
