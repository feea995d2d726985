#pragma once

namespace pagorra {

// Keeps the libraries' messages that report nothing the user caused or can act on off stderr;
// every other message goes on to the handler installed before. Called first thing in main(),
// before the application object starts the platform.
void quietenLibraryMessages();

} // namespace pagorra
