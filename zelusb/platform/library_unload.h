// The library being unloaded from the process: on Windows its DllMain
// (process detach), elsewhere the process's exit.
#pragma once

namespace zelplat {

// `hook` runs once when the library goes away; a later call replaces it.
void onLibraryUnload(void (*hook)());

} // namespace zelplat
