#pragma once

namespace pagorra {

// Writes to the environment what the image library writes as it starts (where it is installed,
// and its debug switch when VIPS_INFO asks for it), so that it can start later, on any thread,
// without changing the environment while another thread reads it: glibc's setenv may free the
// table a concurrent getenv walks. Call first thing in main(), before anything starts a thread.
void prepareImagingEnvironment(const char *programPath);
// Starts the image library once per process; later calls do nothing. Throws RuntimeError
// when the library cannot start.
void startImaging(const char *programName);
// Shuts the library down at the end of the process; nothing may use it afterwards.
void shutdownImaging();

} // namespace pagorra
