#pragma once

#include "ByteSink.h"
#include "CGlobalBlock.h"

#include <windows.h>

#include <cstddef>
#include <string>

class CWin32File;

// Reads a whole bitmap file (with or without its 14-byte file header) into one
// block: a header of biSize bytes (a 12-byte core header becomes a 40-byte
// one), the colour table with 4-byte entries, then uncompressed bottom-up rows
// (RLE data is expanded, top-down rows are turned over). An empty block when
// the file can't be opened or is not a bitmap we can hold.
CGlobalBlock ReadDibFile(const std::string& path);

// From the position where the bitmap begins: the block with header and table
// only, the file left where the pixel data begins. Empty on failure.
CGlobalBlock ReadDibHeader(CWin32File& file);

// 1 when the file was created and written whole; 0 for an empty block, a file
// that can't be created or a write that fails.
int WriteDibFile(const std::string& path, const CGlobalBlock& dib);

// Writes in pieces of at most 32768 bytes; size when all of it was written,
// else 0.
std::size_t WriteHuge(ByteSink& file, const void* data, std::size_t size);

// Bytes of the block's colour table: 3 per entry after a core header, else 4.
std::size_t DibPaletteSize(const CGlobalBlock& dib);

// A palette from the block's colour table, or null when it has no entries.
HPALETTE CreateDibPalette(const CGlobalBlock& dib, BYTE flags);
