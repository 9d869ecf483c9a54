// Resource identifiers shared by dovetta.rc and the code.
#pragma once

#define IDI_DOVETTA 1
