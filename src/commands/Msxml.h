// The COM owners and MSXML identifiers live below the commands, where the permission document
// needs them too.
#pragma once
#include "app/Msxml.h"
