#pragma once

namespace pagorra {

// Starts the image library once per process; later calls do nothing. Throws RuntimeError
// when the library cannot start.
void startImaging(const char *programName);
// Shuts the library down at the end of the process; nothing may use it afterwards.
void shutdownImaging();

} // namespace pagorra
