// One object of every command class, in dispatch order.
#pragma once
#include "commands/Quarn.h"

CommandList createCommands();
