// Copying resources from one executable module into another (RSRC).
#pragma once

#include <windows.h>

#include <cstdint>

#include "procs/system/module_resources.h"
#include "text/text_buffer.h"

// Adds item i of the "," lists types and names, for every item of types, from
// source to the pending update, each in the first language the source lists
// it in. A resource the source does not hold is passed over. False when the
// update refuses a resource that was found, with its error code in error.
bool AddResources(const ModuleResources& source, HANDLE update, const TextBuffer& types,
                  const TextBuffer& names, uint32_t* error);
