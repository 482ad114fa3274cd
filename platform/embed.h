#pragma once

// The embedded-file registry: files compiled into the program, found by exact
// name. The first registration of a name stands.
int EmbedRegister(const char* name, const void* data, int size);
const void* EmbedData(const char* name);
int EmbedSize(const char* name);
