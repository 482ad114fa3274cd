#pragma once

// Registers every file compiled into the program with the embedded-file
// registry, so that it opens as "incbin::NAME". Returns how many were embedded.
int RegisterEmbeddedAssets();
