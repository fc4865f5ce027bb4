// list, size, realpath, cp2tempnam, mv2tempnam.
#pragma once
#include "commands/QuarnClass.h"
